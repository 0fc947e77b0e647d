#include "platform/FloatFormat.h"

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

    // 15 significant digits, rounded once, then laid out by hand.
    // to_chars ignores the process locale, which Qt sets from the environment.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string s(buf, res.ptr);
    const bool negative = s[0] == '-';
    if (negative)
        s.erase(0, 1);
    const auto ePos = s.find('e');
    const int exponent = std::atoi(s.c_str() + ePos + 1);
    std::string digits = s.substr(0, 1) + s.substr(2, ePos - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out;
    const char sep = '\x01';
    if (exponent < -5 || exponent >= 15) {
        out = digits.substr(0, 1);
        if (digits.size() > 1)
            out += sep + digits.substr(1);
        out += 'E';
        if (exponent < 0)
            out += '-';
        out += std::to_string(std::abs(exponent));
    } else if (exponent < 0) {
        out = std::string("0") + sep + std::string(size_t(-exponent - 1), '0') + digits;
    } else {
        const size_t intDigits = size_t(exponent) + 1;
        if (digits.size() <= intDigits) {
            out = digits + std::string(intDigits - digits.size(), '0');
        } else {
            out = digits.substr(0, intDigits) + sep + digits.substr(intDigits);
        }
    }
    if (negative)
        out.insert(out.begin(), '-');

    QString result = QString::fromLatin1(out.data(), qsizetype(out.size()));
    result.replace(QLatin1Char(sep), decimalSeparator);
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
