// Feeds arbitrary bytes to the INI reader as a settings file, writes two keys
// into it, saves, and reads the file back. Beyond the sanitizers it checks
// that the keys read back as written, that no line of the old file is lost,
// and that writing the same values again changes no byte.

#include "fileutils/IniFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QString &WorkFile()
{
    static const QString file = [] {
        // The runner's scratch folder (TMPDIR), memory-backed where it can be
        // since every save syncs to disk, and removed after the run.
        QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/cartola-ini-fuzz-XXXXXX"));
        if (!mkdtemp(pattern.data()))
            abort();
        return QFile::decodeName(pattern) + QStringLiteral("/cartola.ini");
    }();
    return file;
}

void Check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

QByteArray Contents()
{
    QFile f(WorkFile());
    Check(f.open(QIODevice::ReadOnly), "saved file opens");
    return f.readAll();
}

qsizetype LineCount(const QByteArray &bytes)
{
    return bytes.count('\n') + (bytes.isEmpty() || bytes.endsWith('\n') ? 0 : 1);
}

void WriteKeys(TIniFile &ini, int number, double value)
{
    ini.WriteInteger(QStringLiteral("Settings"), QStringLiteral("ExportType"), number);
    ini.WriteFloat(QStringLiteral("grpFiles"), QStringLiteral("Top"), value, QLatin1Char('.'));
    ini.UpdateFile();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile f(WorkFile());
        Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(input) == input.size(),
            qPrintable(f.errorString()));
    }
    const int number = int(size) * 7919 - 40000;
    const double value = double(size) / 8 - 3.25;

    TIniFile ini(WorkFile());
    (void)ini.ReadString(QStringLiteral("Settings"), QStringLiteral("ShowFiles"), QString());
    (void)ini.ReadBool(QStringLiteral("Position"), QStringLiteral("Left"), true);
    (void)ini.ReadFloat(QStringLiteral("grpFolders"), QStringLiteral("Width"), 1, QLatin1Char(','));
    WriteKeys(ini, number, value);

    const QByteArray saved = Contents();
    Check(LineCount(saved) >= LineCount(input), "no line lost");
    Check(LineCount(saved) <= LineCount(input) + 4, "at most two sections and two keys added");
    const TIniFile back(WorkFile());
    Check(back.ReadInteger(QStringLiteral("SETTINGS"), QStringLiteral("exporttype"), -1) == number,
        "integer reads back");
    Check(back.ReadFloat(QStringLiteral("GRPFILES"), QStringLiteral("top"), -1, QLatin1Char('.')) == value,
        "float reads back");

    TIniFile again(WorkFile());
    WriteKeys(again, number, value);
    Check(Contents() == saved, "same values, same bytes");
    return 0;
}
