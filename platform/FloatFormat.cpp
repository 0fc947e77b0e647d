#include "platform/FloatFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

QString FloatToStrGeneral(double value, QChar decimalSeparator)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");

    // 15 significant digits, rounded once, then laid out by hand in one buffer.
    // to_chars ignores the process locale, which Qt sets from the environment.
    char sci[40];
    const char *end = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, 14).ptr;
    const char *p = sci;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    const char *e = std::find(p, end, 'e');
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    char digits[20];
    int nd = 0;
    digits[nd++] = p[0];
    for (const char *q = p + 2; q < e; ++q)
        digits[nd++] = *q;
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;

    constexpr char sep = '\x01';
    char out[48];
    int n = 0;
    const auto put = [&](const char *from, int count) {
        std::copy(from, from + count, out + n);
        n += count;
    };
    if (negative)
        out[n++] = '-';
    if (exponent < -5 || exponent >= 15) {
        out[n++] = digits[0];
        if (nd > 1) {
            out[n++] = sep;
            put(digits + 1, nd - 1);
        }
        out[n++] = 'E';
        if (exponent < 0)
            out[n++] = '-';
        n = int(std::to_chars(out + n, out + sizeof out, std::abs(exponent)).ptr - out);
    } else if (exponent < 0) {
        out[n++] = '0';
        out[n++] = sep;
        for (int k = 0; k < -exponent - 1; ++k)
            out[n++] = '0';
        put(digits, nd);
    } else {
        const int intDigits = exponent + 1;
        if (nd <= intDigits) {
            put(digits, nd);
            for (int k = nd; k < intDigits; ++k)
                out[n++] = '0';
        } else {
            put(digits, intDigits);
            out[n++] = sep;
            put(digits + intDigits, nd - intDigits);
        }
    }

    QString result(n, Qt::Uninitialized);
    QChar *text = result.data();
    for (int i = 0; i < n; ++i)
        text[i] = out[i] == sep ? decimalSeparator : QLatin1Char(out[i]);
    return result;
}

std::optional<double> TryStrToFloat(const QString &text, QChar decimalSeparator)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    std::string s;
    s.reserve(size_t(t.size()));
    qsizetype i = 0;
    const auto at = [&](qsizetype k) {
        return k < t.size() ? t[k] : QChar();
    };
    if (at(i) == QLatin1Char('+') || at(i) == QLatin1Char('-'))
        s += char(t[i++].unicode());
    bool anyDigit = false;
    while (at(i).isDigit() && at(i).unicode() < 128) {
        s += char(t[i++].unicode());
        anyDigit = true;
    }
    if (at(i) == decimalSeparator) {
        s += '.';
        ++i;
        while (at(i).unicode() >= '0' && at(i).unicode() <= '9') {
            s += char(t[i++].unicode());
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (at(i) == QLatin1Char('e') || at(i) == QLatin1Char('E')) {
        s += 'e';
        ++i;
        if (at(i) == QLatin1Char('+') || at(i) == QLatin1Char('-'))
            s += char(t[i++].unicode());
        bool expDigit = false;
        while (at(i).unicode() >= '0' && at(i).unicode() <= '9') {
            s += char(t[i++].unicode());
            expDigit = true;
        }
        if (!expDigit)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;
    double v = 0;
    const char *begin = s.c_str() + (s[0] == '+' ? 1 : 0);
    const auto res = std::from_chars(begin, s.c_str() + s.size(), v);
    if (res.ec != std::errc() || res.ptr != s.c_str() + s.size())
        return std::nullopt;
    return v;
}
