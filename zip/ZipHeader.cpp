#include "zip/ZipHeader.h"

#include "platform/CodePages.h"

QString TZipString::Text() const
{
    return CodePage == zcpUtf8 ? FromUtf8(Bytes) : FromCp437(Bytes);
}

QString CompressionMethodName(uint16_t method)
{
    switch (method) {
    case 0:
        return QStringLiteral("Stored");
    case 1:
        return QStringLiteral("Shrunk");
    case 2:
        return QStringLiteral("Reduced1");
    case 3:
        return QStringLiteral("Reduced2");
    case 4:
        return QStringLiteral("Reduced3");
    case 5:
        return QStringLiteral("Reduced4");
    case 6:
        return QStringLiteral("Imploded");
    case 7:
        return QStringLiteral("Tokenized");
    case 8:
        return QStringLiteral("Deflated");
    case 9:
        return QStringLiteral("Deflated64");
    case 10:
        return QStringLiteral("Imploded(TERSE)");
    case 12:
        return QStringLiteral("BZIP2");
    case 14:
        return QStringLiteral("LZMA");
    case 18:
        return QStringLiteral("TERSE");
    case 19:
        return QStringLiteral("LZ77");
    case 97:
        return QStringLiteral("WavPack");
    case 98:
        return QStringLiteral("PPMd version I, Rev 1");
    default:
        return QStringLiteral("Unknown");
    }
}
