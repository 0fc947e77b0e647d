#include "platform/TextEncoding.h"

#include <QChar>

#include <array>
#include <map>
#include <mutex>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/uset.h>
#include <vector>

// One charset's tables, made once from the ICU converter and shared.
struct TCharsetTable
{
    int CodePage = 0;
    QByteArray IcuName;
    QByteArray Charset;
    bool SingleByte = true;
    bool AsciiCompatible = true;
    bool HasMarks = false; // holds combining marks, so letters may be written as letter plus marks
    std::array<char16_t, 256> ToText{}; // single byte: U+FFFD for a byte without a character
    std::vector<uint8_t> ToSingle; // by BMP code point; 0: none (U+0000 aside)
    std::vector<uint32_t> ToMulti; // by BMP code point: byte count << 24 | bytes, first byte highest

    bool Direct(char32_t cp, QByteArray &out) const;
    void AppendLookAlike(char32_t cp, QByteArray &out) const;
    bool AppendWithMarks(char32_t cp, QByteArray &out) const;
};

namespace {

struct TCodePageName
{
    int CodePage;
    const char *Icu;
    const char *Charset;
};

// ICU's tables of the Windows code pages themselves (932 keeps 0x5C a backslash).
constexpr TCodePageName kCodePages[] = {
    {874, "windows-874-2000", "windows-874"},
    {932, "ibm-943_P15A-2003", "shift_jis"},
    {936, "windows-936-2000", "gbk"},
    {949, "windows-949-2000", "ks_c_5601-1987"},
    {950, "windows-950-2000", "big5"},
    {1250, "windows-1250", "windows-1250"},
    {1251, "windows-1251", "windows-1251"},
    {1252, "windows-1252", "windows-1252"},
    {1253, "windows-1253", "windows-1253"},
    {1254, "windows-1254", "windows-1254"},
    {1255, "windows-1255", "windows-1255"},
    {1256, "windows-1256", "windows-1256"},
    {1257, "windows-1257", "windows-1257"},
    {1258, "windows-1258", "windows-1258"},
};

void AppendPacked(uint32_t packed, QByteArray &out)
{
    for (int i = int(packed >> 24) - 1; i >= 0; --i)
        out += char((packed >> (8 * i)) & 0xFF);
}

struct TConverter
{
    UConverter *Handle = nullptr;
    explicit TConverter(const char *name)
    {
        UErrorCode err = U_ZERO_ERROR;
        Handle = ucnv_open(name, &err);
        if (U_FAILURE(err))
            Handle = nullptr;
    }
    ~TConverter()
    {
        if (Handle)
            ucnv_close(Handle);
    }
    TConverter(const TConverter &) = delete;
    TConverter &operator=(const TConverter &) = delete;
};

// Only the characters that go there and back: never a fallback, never the substitute.
void FillEncodeTables(UConverter *cnv, TCharsetTable &t)
{
    UErrorCode err = U_ZERO_ERROR;
    USet *set = uset_openEmpty();
    ucnv_getUnicodeSet(cnv, set, UCNV_ROUNDTRIP_SET, &err);
    ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    if (t.SingleByte)
        t.ToSingle.assign(0x10000, 0);
    else
        t.ToMulti.assign(0x10000, 0);
    const int32_t items = U_SUCCESS(err) ? uset_getItemCount(set) : 0;
    for (int32_t i = 0; i < items; ++i) {
        UChar32 start = 0, end = 0;
        UErrorCode itemErr = U_ZERO_ERROR;
        if (uset_getItem(set, i, &start, &end, nullptr, 0, &itemErr) != 0 || U_FAILURE(itemErr))
            continue;
        for (UChar32 cp = start; cp <= end && cp <= 0xFFFF; ++cp) {
            const UChar u = UChar(cp);
            char bytes[8];
            UErrorCode e = U_ZERO_ERROR;
            ucnv_resetFromUnicode(cnv);
            const int32_t n = ucnv_fromUChars(cnv, bytes, sizeof bytes, &u, 1, &e);
            if (U_FAILURE(e) || n < 1 || (t.SingleByte ? n > 1 : n > 3))
                continue;
            if (t.SingleByte) {
                t.ToSingle[size_t(cp)] = uint8_t(bytes[0]);
            } else {
                uint32_t packed = uint32_t(n) << 24;
                for (int32_t k = 0; k < n; ++k)
                    packed |= uint32_t(uint8_t(bytes[k])) << (8 * (n - 1 - k));
                t.ToMulti[size_t(cp)] = packed;
            }
            if (cp >= 0x80 && QChar::category(char32_t(cp)) == QChar::Mark_NonSpacing)
                t.HasMarks = true;
        }
    }
    uset_close(set);
    for (char16_t c = 0; c < 0x80 && t.AsciiCompatible; ++c)
        t.AsciiCompatible = t.SingleByte ? t.ToSingle[c] == c : t.ToMulti[c] == ((1u << 24) | c);
}

// Bytes a code page leaves undefined in 0x80 to 0x9F stand for the C1
// character of the same number, both ways, as Windows reads them; others read as U+FFFD.
void FillSingleByteDecode(UConverter *cnv, TCharsetTable &t)
{
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        UChar u[4];
        UErrorCode e = U_ZERO_ERROR;
        ucnv_resetToUnicode(cnv);
        const int32_t n = ucnv_toUChars(cnv, u, 4, &c, 1, &e);
        if (U_SUCCESS(e) && n == 1 && t.ToSingle[u[0]] == uint8_t(b)) {
            t.ToText[size_t(b)] = u[0];
        } else if (b >= 0x80 && b <= 0x9F && t.ToSingle[size_t(b)] == 0) {
            t.ToText[size_t(b)] = char16_t(b);
            t.ToSingle[size_t(b)] = uint8_t(b);
        } else {
            t.ToText[size_t(b)] = 0xFFFD;
        }
    }
}

std::shared_ptr<const TCharsetTable> BuildTable(const char *icuName, int codePage, const char *charset)
{
    TConverter cnv(icuName);
    if (!cnv.Handle)
        return nullptr;
    switch (ucnv_getType(cnv.Handle)) {
    case UCNV_SBCS:
    case UCNV_DBCS:
    case UCNV_MBCS:
    case UCNV_LATIN_1:
    case UCNV_US_ASCII:
        break;
    default:
        return nullptr; // stateful or algorithmic: no table of ours
    }
    auto t = std::make_shared<TCharsetTable>();
    t->CodePage = codePage;
    UErrorCode err = U_ZERO_ERROR;
    t->IcuName = ucnv_getName(cnv.Handle, &err);
    t->Charset = charset;
    t->SingleByte = ucnv_getMaxCharSize(cnv.Handle) == 1;
    FillEncodeTables(cnv.Handle, *t);
    if (t->SingleByte)
        FillSingleByteDecode(cnv.Handle, *t);
    return t;
}

std::shared_ptr<const TCharsetTable> CachedTable(const char *icuName, int codePage, const char *charset)
{
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<const TCharsetTable>> tables;
    const std::lock_guard<std::mutex> lock(mutex);
    const QByteArray key = QByteArray(icuName) + '/' + QByteArray::number(codePage);
    auto found = tables.find(key);
    if (found == tables.end())
        found = tables.emplace(key, BuildTable(icuName, codePage, charset)).first;
    return found->second;
}

const TCodePageName *FindCodePage(int codePage)
{
    for (const TCodePageName &c : kCodePages)
        if (c.CodePage == codePage)
            return &c;
    return nullptr;
}

void ToUReplacement(const void *,
    UConverterToUnicodeArgs *args,
    const char *,
    int32_t,
    UConverterCallbackReason reason,
    UErrorCode *err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    *err = U_ZERO_ERROR;
    static const UChar replacement = 0xFFFD;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

} // namespace

bool TCharsetTable::Direct(char32_t cp, QByteArray &out) const
{
    if (cp > 0xFFFF)
        return false;
    if (SingleByte) {
        const uint8_t b = ToSingle[cp];
        if (b == 0 && cp != 0)
            return false;
        out += char(b);
        return true;
    }
    const uint32_t packed = ToMulti[cp];
    if (packed == 0)
        return false;
    AppendPacked(packed, out);
    return true;
}

// A precomposed letter the code page lacks, written as a letter it has plus
// the combining marks it has: Vietnamese in 1258.
bool TCharsetTable::AppendWithMarks(char32_t cp, QByteArray &out) const
{
    const QString split = QString::fromUcs4(&cp, 1).normalized(QString::NormalizationForm_D);
    if (split.size() < 2)
        return false;
    QString base = split.left(1);
    QString marks = split.mid(1);
    QByteArray probe;
    for (qsizetype i = 0; i < marks.size();) {
        const QString joined = (base + marks.at(i)).normalized(QString::NormalizationForm_C);
        probe.clear();
        if (joined.size() == 1 && Direct(joined.at(0).unicode(), probe)) {
            base = joined;
            marks.remove(i, 1);
        } else {
            ++i;
        }
    }
    QByteArray bytes;
    bool ok = base.size() == 1 && Direct(base.at(0).unicode(), bytes);
    for (qsizetype i = 0; ok && i < marks.size(); ++i)
        ok = Direct(marks.at(i).unicode(), bytes);
    if (ok)
        out += bytes;
    return ok;
}

void TCharsetTable::AppendLookAlike(char32_t cp, QByteArray &out) const
{
    if (HasMarks && AppendWithMarks(cp, out))
        return;
    if (QChar::category(cp) == QChar::Number_DecimalDigit && QChar::digitValue(cp) >= 0) {
        out += char('0' + QChar::digitValue(cp));
        return;
    }
    // The base letter of a compatibility decomposition whose rest are
    // combining marks (é -> e; ﬁ -> f is not taken).
    if (cp <= 0xFFFF && !QChar::isSurrogate(cp)) {
        const QString decomposed = QString(QChar(char16_t(cp))).normalized(QString::NormalizationForm_KD);
        bool marksOnly = !decomposed.isEmpty() && decomposed.at(0).unicode() != cp;
        for (qsizetype i = 1; marksOnly && i < decomposed.size(); ++i)
            marksOnly = decomposed.at(i).category() == QChar::Mark_NonSpacing;
        if (marksOnly && Direct(decomposed.at(0).unicode(), out))
            return;
    }
    switch (cp) {
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2212:
        out += '-';
        return;
    case 0x2032:
        out += '\'';
        return;
    case 0x2033:
        out += '"';
        return;
    default:
        out += '?';
    }
}

TTextEncoding TTextEncoding::CodePage(int codePage)
{
    // Asked for once per cell by some writers: no lock after the first time.
    static std::array<std::once_flag, std::size(kCodePages)> made;
    static std::array<std::shared_ptr<const TCharsetTable>, std::size(kCodePages)> tables;
    const TCodePageName *name = FindCodePage(codePage);
    if (!name)
        name = FindCodePage(1252);
    const size_t index = size_t(name - kCodePages);
    std::call_once(made[index], [name, index] {
        tables[index] = CachedTable(name->Icu, name->CodePage, name->Charset);
    });
    TTextEncoding e;
    e.FTable = tables[index];
    return e;
}

TTextEncoding TTextEncoding::Utf8(bool byteOrderMark)
{
    TTextEncoding e;
    e.FByteOrderMark = byteOrderMark;
    return e;
}

TTextEncoding TTextEncoding::Charset(const QByteArray &name)
{
    TConverter cnv(name.constData());
    if (!cnv.Handle)
        return Utf8();
    UErrorCode err = U_ZERO_ERROR;
    const char *canonical = ucnv_getName(cnv.Handle, &err);
    if (U_FAILURE(err) || QByteArray(canonical) == "UTF-8")
        return Utf8();
    const char *iana = ucnv_getStandardName(canonical, "MIME", &err);
    if (!iana || U_FAILURE(err)) {
        err = U_ZERO_ERROR;
        iana = ucnv_getStandardName(canonical, "IANA", &err);
    }
    TTextEncoding e;
    e.FTable = CachedTable(canonical, 0, iana && U_SUCCESS(err) ? iana : canonical);
    return e.FTable ? e : Utf8();
}

int TTextEncoding::CodePageOfName(const QString &name)
{
    const QString lower = name.toLower();
    for (const TCodePageName &c : kCodePages) {
        const QString number = QString::number(c.CodePage);
        if (lower == QLatin1String("windows-") + number || lower == QLatin1String("cp") + number)
            return c.CodePage;
    }
    return 0;
}

bool TTextEncoding::AsciiCompatible() const
{
    return !FTable || FTable->AsciiCompatible;
}

int TTextEncoding::CodePageNumber() const
{
    return FTable ? FTable->CodePage : 0;
}

TTextEncoding TTextEncoding::WithoutByteOrderMark() const
{
    TTextEncoding e = *this;
    e.FByteOrderMark = false;
    return e;
}

QByteArray TTextEncoding::CharsetName() const
{
    return FTable ? FTable->Charset : QByteArray("utf-8");
}

void TTextEncoding::Append(QStringView text, QByteArray &out) const
{
    if (!FTable) {
        out += text.toUtf8();
        return;
    }
    const TCharsetTable &t = *FTable;
    const qsizetype n = text.size();
    const char16_t *p = text.utf16();
    if (t.SingleByte && t.AsciiCompatible) {
        // The common case: one byte per unit, written in place.
        qsizetype end = out.size();
        out.resize(end + n);
        char *d = out.data() + end;
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t u = p[i];
            const uint8_t b = u < 0x80 ? uint8_t(u) : t.ToSingle[u];
            if (b != 0 || u == 0) {
                *d++ = char(b);
                continue;
            }
            char32_t cp = u;
            if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
                cp = QChar::surrogateToUcs4(u, p[i + 1]);
                ++i;
            }
            // A look-alike may take more than one byte: room for the rest again.
            out.truncate(d - out.constData());
            t.AppendLookAlike(cp, out);
            end = out.size();
            out.resize(end + (n - i - 1));
            d = out.data() + end;
        }
        out.truncate(d - out.constData());
        return;
    }
    out.reserve(out.size() + n);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u < 0x80 && t.AsciiCompatible) {
            out += char(u);
            continue;
        }
        if (t.SingleByte) {
            if (const uint8_t b = t.ToSingle[u]) {
                out += char(b);
                continue;
            }
        } else if (const uint32_t packed = t.ToMulti[u]) {
            AppendPacked(packed, out);
            continue;
        }
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            cp = QChar::surrogateToUcs4(u, p[i + 1]);
            ++i;
        }
        t.AppendLookAlike(cp, out);
    }
}

QByteArray TTextEncoding::Encode(QStringView text) const
{
    QByteArray out;
    Append(text, out);
    return out;
}

QByteArray TTextEncoding::Encode(QStringView text, qsizetype maxBytes) const
{
    // A character gives at least one byte per two UTF-16 units, so the rest
    // of a long text can never reach the kept part.
    if (text.size() > 2 * maxBytes + 2)
        text = text.left(2 * maxBytes + 2);
    QByteArray out = Encode(text);
    if (out.size() <= maxBytes)
        return out;
    out.clear();
    QByteArray one;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype units =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        one.clear();
        Append(text.mid(i, units), one);
        if (out.size() + one.size() > maxBytes)
            break;
        out += one;
        i += units - 1;
    }
    return out;
}

QString TTextEncoding::Decode(QByteArrayView bytes) const
{
    if (!FTable)
        return QString::fromUtf8(bytes);
    if (FTable->SingleByte) {
        QString out(bytes.size(), Qt::Uninitialized);
        QChar *d = out.data();
        for (const char c : bytes)
            *d++ = QChar(FTable->ToText[static_cast<unsigned char>(c)]);
        return out;
    }
    TConverter cnv(FTable->IcuName.constData());
    if (!cnv.Handle || bytes.size() > (1 << 28))
        return QString::fromLatin1(bytes);
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(cnv.Handle, ToUReplacement, nullptr, nullptr, nullptr, &err);
    QString out(2 * bytes.size() + 1, Qt::Uninitialized);
    const int32_t n = ucnv_toUChars(cnv.Handle,
        reinterpret_cast<UChar *>(out.data()),
        int32_t(out.size()),
        bytes.data(),
        int32_t(bytes.size()),
        &err);
    out.truncate(U_SUCCESS(err) ? n : 0);
    return out;
}
