#include "fileutils/IniFile.h"
#include "platform/Errors.h"
#include "support/TestSupport.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace {

QString Q(const char *text)
{
    return QString::fromUtf8(text);
}

struct IniFileTest : TTempFolderTest
{
    QString Path() const { return PathOf(Q("cartola.ini")); }
    void WriteBytes(const QByteArray &bytes) const { WriteFile(Path(), bytes); }
    QByteArray ReadBytes() const { return ReadAll(Path()); }
};

const QString S = Q("Settings");

TEST_F(IniFileTest, NamesIgnoreCaseAndValuesIgnoreBlanks)
{
    WriteBytes("k=outside\r\n[SETTINGS]\r\n  showFILES \t=  0 \r\nName= two words \r\n[Other]\r\nk=v\r\n");
    const TIniFile ini(Path());
    EXPECT_FALSE(ini.ReadBool(S, Q("ShowFiles"), true));
    EXPECT_EQ(ini.ReadString(Q("settings"), Q("NAME"), {}), Q("two words"));
    EXPECT_EQ(ini.ReadString(S, Q("k"), Q("dflt")), Q("dflt"));
    EXPECT_EQ(ini.ReadString(Q("other"), Q("K"), {}), Q("v"));
    EXPECT_EQ(ini.ReadString(Q("Missing"), Q("k"), Q("d")), Q("d"));
}

TEST_F(IniFileTest, WritesReplaceInPlaceAppendToSectionOrAddSection)
{
    WriteBytes("; hand-edited\r\njunk line  \r\n[A]\r\nx = 1\r\n; note\r\n\r\n[B]\n"
               "Y=2\r\n\t\r\n[a]\r\nx=dup\r\nlast=unterminated");
    TIniFile ini(Path());
    ini.WriteInteger(Q("a"), Q("X"), 5);
    ini.WriteInteger(Q("A"), Q("new"), 6);
    ini.WriteBool(Q("b"), Q("z"), true);
    ini.WriteFloat(Q("C"), Q("w"), 350, QLatin1Char('.'));
    ini.WriteString(Q("C"), Q("v"), Q("t\xc3\xa9xt"));
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes(),
        QByteArray("; hand-edited\r\njunk line  \r\n[A]\r\nX=5\r\n; note\r\nnew=6\r\n\r\n[B]\n"
                   "Y=2\r\nz=1\r\n\t\r\n[a]\r\nx=dup\r\nlast=unterminated\r\n"
                   "[C]\r\nw=350\r\nv=t\xc3\xa9xt\r\n"));
    EXPECT_EQ(TIniFile(Path()).ReadString(Q("c"), Q("V"), {}), Q("t\xc3\xa9xt"));
}

TEST_F(IniFileTest, LinesNotWrittenKeepTheirOwnLineEnds)
{
    WriteBytes("[Other]\nunix=1\n\n[Settings]\nShowFiles=0\nColour=blue\r\nold=mac\r");
    TIniFile ini(Path());
    ini.WriteBool(S, Q("ShowFiles"), true);
    ini.WriteInteger(S, Q("ExportType"), 2);
    ini.WriteInteger(Q("Position"), Q("Left"), 3);
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes(),
        QByteArray("[Other]\nunix=1\n\n[Settings]\nShowFiles=1\r\nColour=blue\r\nold=mac\r\n"
                   "ExportType=2\r\n[Position]\r\nLeft=3\r\n"));
}

TEST_F(IniFileTest, FileFromScratchKeepsWritingOrder)
{
    TIniFile ini(Path());
    ini.UpdateFile();
    EXPECT_FALSE(QFileInfo::exists(Path())) << "nothing written, nothing created";
    ini.WriteBool(S, Q("ShowFiles"), true);
    ini.WriteInteger(Q("Position"), Q("Left"), -40);
    ini.WriteBool(S, Q("ShowFolders"), false);
    ini.WriteString(S, Q("Odd"), Q("a\r\n[x]\nb"));
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes(),
        QByteArray(
            "[Settings]\r\nShowFiles=1\r\nShowFolders=0\r\nOdd=a  [x] b\r\n[Position]\r\nLeft=-40\r\n"));
}

TEST_F(IniFileTest, IntegerAndBooleanValues)
{
    struct Row
    {
        const char *text;
        int expected; // with the default 99
    };
    // clang-format off
    const Row rows[] = {
        {"yes", 99}, {"0", 0}, {"-0", 0}, {"2", 2}, {"0x1", 1}, {"0X1f", 31}, {"$1F", 31}, {"-7", -7},
        {"+7", 7}, {" 12 ", 12}, {"", 99}, {"-", 99}, {"$", 99}, {"0x", 99}, {"1.5", 99}, {"12a", 99},
        {"-$1", 99}, {"2147483647", INT_MAX}, {"2147483648", 99}, {"-2147483648", INT_MIN},
        {"-2147483649", 99}, {"$7FFFFFFF", INT_MAX}, {"$FFFFFFFF", 99}, {"0000000000000000000042", 42},
        {"99999999999999999999", 99},
    };
    // clang-format on
    QByteArray file("[S]\r\n");
    for (const Row &row : rows)
        file += QByteArray("k") + row.text + "=" + row.text + "\r\n";
    WriteBytes(file);
    const TIniFile ini(Path());
    for (const Row &row : rows) {
        const QString key = Q("k") + Q(row.text);
        EXPECT_EQ(ini.ReadInteger(Q("S"), key, 99), row.expected) << row.text;
        // A boolean is an integer read with the default 1 or 0.
        EXPECT_EQ(ini.ReadBool(Q("S"), key, true), row.expected != 0) << row.text;
        EXPECT_EQ(ini.ReadBool(Q("S"), key, false), row.expected != 99 && row.expected != 0) << row.text;
    }
}

TEST_F(IniFileTest, FloatValuesFollowTheDecimalSeparator)
{
    TIniFile ini(Path());
    ini.WriteFloat(Q("F"), Q("a"), 272.5, QLatin1Char('.'));
    ini.WriteFloat(Q("F"), Q("b"), 272.5, QLatin1Char(','));
    ini.WriteSingle(Q("F"), Q("c"), 6.5f, QLatin1Char('.'));
    ini.WriteString(Q("F"), Q("huge"), Q("1E300"));
    ini.WriteString(Q("F"), Q("text"), Q("12px"));
    EXPECT_EQ(ini.ReadString(Q("F"), Q("b"), {}), Q("272,5"));
    EXPECT_EQ(ini.ReadFloat(Q("F"), Q("a"), -1, QLatin1Char('.')), 272.5);
    EXPECT_EQ(ini.ReadFloat(Q("F"), Q("b"), -1, QLatin1Char('.')), -1);
    EXPECT_EQ(ini.ReadFloat(Q("F"), Q("b"), -1, QLatin1Char(',')), 272.5);
    EXPECT_EQ(ini.ReadFloat(Q("F"), Q("text"), -1, QLatin1Char('.')), -1);
    EXPECT_EQ(ini.ReadSingle(Q("F"), Q("c"), -1, QLatin1Char('.')), 6.5f);
    EXPECT_EQ(ini.ReadSingle(Q("F"), Q("huge"), -1, QLatin1Char('.')), -1.0f);
    EXPECT_EQ(ini.ReadFloat(Q("F"), Q("huge"), -1, QLatin1Char('.')), 1e300);
}

TEST_F(IniFileTest, FailedSaveReportsTheFullPath)
{
    // A folder in the file's place stops every writer, root included.
    ASSERT_TRUE(QDir(FDir.path()).mkdir(Q("cartola.ini")));
    TIniFile folderInPlace(Path());
    folderInPlace.WriteInteger(S, Q("k"), 1);
    EXPECT_RAISES(
        folderInPlace.UpdateFile(), Q("Unable to write to ") + QFileInfo(Path()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(Path()).isDir());

    TIniFile noFolder(PathOf(Q("missing/cartola.ini")));
    noFolder.WriteInteger(S, Q("k"), 1);
    EXPECT_THROW(noFolder.UpdateFile(), EError);
}

TEST_F(IniFileTest, ReadOnlyFileIsLeftAlone)
{
    const QByteArray old("[Settings]\r\nk=0\r\n");
    WriteBytes(old);
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::ReadUser));
    GiveToUnprivileged(FDir.path());
    EXPECT_EQ(AsUnprivileged([&]() -> std::string {
        TIniFile ini(Path());
        ini.WriteInteger(S, Q("k"), 1);
        try {
            ini.UpdateFile();
        } catch (const EError &) {
            return {};
        }
        return "a read-only settings file was written";
    }),
        "");
    EXPECT_EQ(ReadBytes(), old);
}

TEST_F(IniFileTest, ArbitraryBytesReadAndSurviveASave)
{
    // Line breaks, NULs, brackets, broken UTF-8: but never the letter S, so no "[Settings]".
    const char alphabet[] = {'\0', 'a', 'k', '[', ']', '=', ' ', '\r', '\n', '\xe2', '\x82', '\xff'};
    std::mt19937 random(12345);
    QByteArray junk;
    for (int i = 0; i < 100000; ++i)
        junk += alphabet[random() % sizeof alphabet];
    WriteBytes(junk);
    TIniFile ini(Path());
    (void)ini.ReadString(Q("a"), Q("k"), {});
    (void)ini.ReadInteger(Q("]"), Q("a"), 0);
    ini.WriteBool(S, Q("ShowFiles"), true);
    ini.UpdateFile();

    // Every byte stays; the last line gets the break that the new section needs.
    QByteArray expected = junk;
    if (junk.endsWith('\r'))
        expected += '\n';
    else if (!junk.endsWith('\n'))
        expected += "\r\n";
    expected += "[Settings]\r\nShowFiles=1\r\n";
    EXPECT_EQ(ReadBytes(), expected);
    EXPECT_TRUE(TIniFile(Path()).ReadBool(S, Q("showfiles"), false));
}

TEST_F(IniFileTest, LargeFile)
{
    WriteBytes(QByteArray(63, 'x').append('\n').repeated(160 * 1024) + "[Settings]\nShowGrid=0");
    TIniFile ini(Path());
    EXPECT_FALSE(ini.ReadBool(S, Q("ShowGrid"), true));
    ini.WriteBool(S, Q("ShowGrid"), true);
    ini.UpdateFile();
    EXPECT_TRUE(ReadBytes().endsWith("xx\n[Settings]\nShowGrid=1\r\n"));
}

TEST(SettingsPath, FromAppDataFolderAndExecutable)
{
    const struct
    {
        const char *appData, *exe, *expected;
    } rows[] = {
        {"/home/u/.config", "/usr/bin/cartola", "/home/u/.config/cartola/cartola.ini"},
        {"/home/u/.config/", "/usr/bin/cartola", "/home/u/.config/cartola/cartola.ini"},
        {"", "/usr/bin/cartola", "/cartola/cartola.ini"},
        {"/cfg", "/opt/x.y/Cartola.bin.exe", "/cfg/Cartola.bin/Cartola.bin.ini"},
        {"/cfg", "/opt/x.y/run", "/cfg/run/run.ini"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(SettingsFilePath(Q(row.appData), Q(row.exe)), Q(row.expected)) << row.appData << row.exe;
}

TEST(SettingsPath, ForceDirectoriesMakesParents)
{
    QTemporaryDir tmp;
    const QString deep = tmp.filePath(Q("a/b/c"));
    EXPECT_TRUE(ForceDirectories(deep) && QFileInfo(deep).isDir());
    EXPECT_TRUE(ForceDirectories(deep));
    ASSERT_TRUE(QFile(tmp.filePath(Q("f"))).open(QIODevice::WriteOnly));
    EXPECT_FALSE(ForceDirectories(tmp.filePath(Q("f/sub"))));
    EXPECT_FALSE(ForceDirectories(QString()));
}

} // namespace
