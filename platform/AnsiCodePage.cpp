#include "platform/AnsiCodePage.h"

#include <QList>

#include <atomic>
#include <cstdlib>

namespace {

struct TLanguageCodePage
{
    const char *Language;
    int CodePage;
};

constexpr TLanguageCodePage kLanguages[] = {
    {"cs", 1250},
    {"hu", 1250},
    {"pl", 1250},
    {"ro", 1250},
    {"sk", 1250},
    {"sl", 1250},
    {"hr", 1250},
    {"sq", 1250},
    {"ru", 1251},
    {"uk", 1251},
    {"be", 1251},
    {"bg", 1251},
    {"mk", 1251},
    {"sr", 1251},
    {"kk", 1251},
    {"el", 1253},
    {"tr", 1254},
    {"az", 1254},
    {"he", 1255},
    {"iw", 1255},
    {"ar", 1256},
    {"fa", 1256},
    {"ur", 1256},
    {"lt", 1257},
    {"lv", 1257},
    {"et", 1257},
    {"vi", 1258},
    {"th", 874},
    {"ja", 932},
    {"zh", 936},
    {"ko", 949},
};

struct TLocaleParts
{
    QByteArray Language;
    QByteArray Territory;
    QByteArray Codeset;
    QByteArray Modifier;
};

// language[_territory][.codeset][@modifier]
TLocaleParts SplitLocaleName(QByteArrayView name)
{
    TLocaleParts parts;
    QByteArray rest = name.toByteArray();
    const qsizetype at = rest.indexOf('@');
    if (at >= 0) {
        parts.Modifier = rest.mid(at + 1).toLower();
        rest.truncate(at);
    }
    const qsizetype dot = rest.indexOf('.');
    if (dot >= 0) {
        parts.Codeset = rest.mid(dot + 1);
        rest.truncate(dot);
    }
    const qsizetype underscore = rest.indexOf('_');
    if (underscore >= 0) {
        parts.Territory = rest.mid(underscore + 1).toUpper();
        rest.truncate(underscore);
    }
    parts.Language = rest.toLower();
    return parts;
}

std::atomic<int> &PinnedCodePage()
{
    static std::atomic<int> pinned{0};
    return pinned;
}

} // namespace

int AnsiCodePageForLocale(QByteArrayView localeName)
{
    const TLocaleParts p = SplitLocaleName(localeName);
    // Serbian is Cyrillic unless the name says Latin; Montenegro writes Latin.
    if (p.Language == "sr" && (p.Modifier == "latin" || p.Territory == "ME"))
        return 1250;
    if (p.Language == "az" && p.Modifier == "cyrillic")
        return 1251;
    if (p.Language == "zh")
        return p.Territory == "TW" || p.Territory == "HK" || p.Territory == "MO" ? 950 : 936;
    for (const TLanguageCodePage &l : kLanguages)
        if (p.Language == l.Language)
            return l.CodePage;
    return 1252;
}

QByteArray LocaleNameFromEnvironment()
{
    for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return QByteArray(value);
    }
    return QByteArray();
}

int AnsiCodePage()
{
    static const int fromEnvironment = AnsiCodePageForLocale(LocaleNameFromEnvironment());
    const int pinned = PinnedCodePage().load();
    return pinned ? pinned : fromEnvironment;
}

void SetAnsiCodePage(int codePage)
{
    PinnedCodePage().store(codePage);
}

TTextEncoding AnsiEncoding()
{
    return TTextEncoding::CodePage(AnsiCodePage());
}

TTextEncoding LocaleEncoding(QByteArrayView localeName)
{
    const TLocaleParts p = SplitLocaleName(localeName);
    if (!p.Codeset.isEmpty())
        return TTextEncoding::Charset(p.Codeset);
    if (localeName.isEmpty() || p.Language == "c" || p.Language == "posix")
        return TTextEncoding::Charset("US-ASCII");
    return TTextEncoding::Utf8();
}
