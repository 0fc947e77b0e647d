// Settings files nobody would write by hand: random bytes, a cut-off file,
// NULs inside names, ten megabytes. The keys read as their defaults wherever
// they cannot be read, a save keeps every line it does not own, and a save
// killed at any moment leaves the old file or the new one, never a piece.

#include "fileutils/IniFile.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString S = QStringLiteral("Settings");
const QString P = QStringLiteral("Position");

// The save loop the kill test runs in a child process of its own.
constexpr const char *kSaverVariable = "CARTOLA_TEST_SAVER_FILE";
// The file a child process holds locked, as a save in progress does.
constexpr const char *kHolderVariable = "CARTOLA_TEST_LOCKED_FILE";

QByteArray Random(qsizetype size, uint32_t seed)
{
    std::mt19937 random(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (char &c : out)
        c = char(random());
    return out;
}

// What a file's lines look like once saved: CR LF after each, none added after a last empty piece.
QByteArrayList SavedLines(const QByteArray &bytes)
{
    QByteArrayList lines = bytes.split('\n');
    if (bytes.endsWith('\n') || bytes.isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

// The program's own keys, written as at shutdown.
void WriteOwnKeys(TIniFile &ini)
{
    ini.WriteBool(S, QStringLiteral("ShowFiles"), false);
    ini.WriteInteger(S, QStringLiteral("ExportType"), 4);
    ini.WriteInteger(P, QStringLiteral("Width"), 800);
    ini.WriteSingle(QStringLiteral("grpFiles"), QStringLiteral("Top"), 12.5f, QLatin1Char('.'));
}

struct THostileCase
{
    const char *what;
    QByteArray bytes;
    bool keysReadable; // whether [Settings] ShowFiles=0 is in there to be found
};

std::vector<THostileCase> HostileCases()
{
    const QByteArray valid = "[Settings]\r\nShowFiles=0\r\nExportType=3\r\n[Position]\r\nWidth=640\r\n";
    QByteArray nuls = valid;
    nuls.insert(3, '\0'); // "[Se\0ttings]" is another section
    nuls += QByteArray("Hei\0ght=5\r\n\0\0\0\r\n", 16);
    QByteArray big = Random(10 * 1024 * 1024, 7);
    big.replace('[', '('); // no section can start in the noise
    return {
        {"random bytes", Random(4096, 1), false},
        {"random bytes with a valid head", valid + Random(4096, 2), true},
        {"cut inside a key", valid.left(valid.indexOf("ExportType") + 6), true},
        {"cut inside a section name", "[Setti", false},
        {"NULs in names and values", nuls, false},
        {"10 MB of noise", big, false},
        {"10 MB of noise after the keys", valid + big, true},
    };
}

class HostileSettingsTest : public TTempFolderTest
{
protected:
    QString Path() const { return PathOf(QStringLiteral("cartola.ini")); }
    void Write(const QByteArray &bytes) const { WriteFile(Path(), bytes); }
    QByteArray Read() const { return ReadAll(Path()); }
};

TEST_F(HostileSettingsTest, UnreadableKeysGiveDefaultsAndEveryForeignLineSurvivesTheSave)
{
    for (const THostileCase &c : HostileCases()) {
        SCOPED_TRACE(c.what);
        Write(c.bytes);
        struct stat before
        { };
        ASSERT_EQ(stat(QFile::encodeName(Path()).constData(), &before), 0);

        TIniFile ini(Path());
        EXPECT_EQ(ini.ReadBool(S, QStringLiteral("ShowFiles"), true), !c.keysReadable);
        EXPECT_EQ(ini.ReadInteger(P, QStringLiteral("Height"), 735), 735);
        EXPECT_EQ(ini.ReadSingle(QStringLiteral("grpFolders"), QStringLiteral("Width"), 2.5f), 2.5f);
        WriteOwnKeys(ini);
        ini.UpdateFile();

        // The old lines in their order, but for the values replaced; every
        // other line is one of ours.
        QByteArrayList old = SavedLines(c.bytes);
        old.removeAll("Width=640"); // [Position] is readable wherever it is whole
        if (c.keysReadable)
            old.removeAll("ExportType=3");
        const QByteArrayList ours = {
            "[Settings]", "ShowFiles=0", "ExportType=4", "[Position]", "Width=800", "[grpFiles]", "Top=12.5"};
        const QByteArrayList saved = SavedLines(Read());
        qsizetype at = 0;
        for (const QByteArray &line : saved)
            if (at < old.size() && line == old[at])
                ++at;
            else
                EXPECT_TRUE(ours.contains(line)) << line.left(80).toStdString();
        EXPECT_EQ(at, old.size());

        const TIniFile back(Path());
        EXPECT_FALSE(back.ReadBool(S, QStringLiteral("ShowFiles"), true));
        EXPECT_EQ(back.ReadInteger(S, QStringLiteral("ExportType"), 0), 4);
        EXPECT_EQ(back.ReadInteger(P, QStringLiteral("Width"), 0), 800);
        EXPECT_EQ(
            back.ReadSingle(QStringLiteral("grpFiles"), QStringLiteral("Top"), 0, QLatin1Char('.')), 12.5f);

        // A new file put in place by a rename, nothing left beside it.
        struct stat after
        { };
        ASSERT_EQ(stat(QFile::encodeName(Path()).constData(), &after), 0);
        EXPECT_NE(after.st_ino, before.st_ino);
        EXPECT_EQ(QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList(QStringLiteral("cartola.ini")));
    }
}

// Runs only inside the child the kill test starts: saves one version, then the other, until killed.
TEST(HostileSettingsChild, SavesInALoop)
{
    const QString file = QString::fromLocal8Bit(qgetenv(kSaverVariable));
    if (file.isEmpty())
        GTEST_SKIP() << "the save loop of another test";
    for (int round = 0;; ++round) {
        TIniFile ini(file);
        ini.WriteInteger(S, QStringLiteral("ExportType"), round % 2 == 0 ? 2 : 1);
        ini.UpdateFile();
    }
}

TEST_F(HostileSettingsTest, ASaveKilledAtAnyMomentLeavesOneWholeVersion)
{
    // Large enough that each save takes a while to write.
    QByteArray foreign;
    for (int i = 0; i < 20000; ++i)
        foreign += "line " + QByteArray::number(i) + " kept by nobody but us\r\n";
    const auto version = [&](int exportType) {
        Write(foreign);
        TIniFile ini(Path());
        ini.WriteInteger(S, QStringLiteral("ExportType"), exportType);
        ini.UpdateFile();
        return Read();
    };
    const QByteArray second = version(2);
    const QByteArray first = version(1);
    ASSERT_NE(first, second);

    std::mt19937 random(2024);
    int seenSecond = 0;
    constexpr int kKills = 12; // each costs a process start, slow under the sanitizers
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE(kill);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kSaverVariable), Path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=HostileSettingsChild.SavesInALoop")});
        ASSERT_TRUE(child.waitForStarted());
        // Until the loop is under way; then a moment anywhere inside a save.
        const QByteArray start = Read();
        for (int wait = 0; wait < 5000 && Read() == start; ++wait)
            QThread::usleep(1000);
        QThread::usleep(random() % 20000);
        child.kill();
        ASSERT_TRUE(child.waitForFinished());

        const QByteArray left = Read();
        ASSERT_TRUE(left == first || left == second) << "a file of " << left.size() << " bytes";
        seenSecond += left == second;
    }
    // Both versions were met, so the kills did land at different moments.
    EXPECT_GT(seenSecond, 0);
    EXPECT_LT(seenSecond, kKills);

    // Whatever the kills left beside the file, the next save clears away.
    TIniFile ini(Path());
    ini.WriteInteger(S, QStringLiteral("ExportType"), 3);
    ini.UpdateFile();
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList(QStringLiteral("cartola.ini")));
}

// Runs only inside the child of the test below: holds a file locked until killed.
TEST(HostileSettingsChild, HoldsALock)
{
    const QByteArray file = qgetenv(kHolderVariable);
    if (file.isEmpty())
        GTEST_SKIP() << "the lock holder of another test";
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    std::fputs("locked\n", stdout);
    std::fflush(stdout);
    for (;;)
        ::pause();
}

TEST_F(HostileSettingsTest, ASaveRemovesTheLeftoversOfSavesCutShortButNotOneInProgress)
{
    Write("[Settings]\r\nShowFiles=0\r\n");
    const auto beside = [this](const char *name) {
        return FDir.filePath(QString::fromLatin1(name));
    };
    const QStringList stale{QStringLiteral("cartola.ini.aBcDeF"), QStringLiteral("cartola.ini.Q7x2Zk")};
    for (const QString &name : stale)
        ASSERT_TRUE(QFile(FDir.filePath(name)).open(QIODevice::WriteOnly));
    // Not ours to remove: other names, a link (and what it points to), a folder.
    QStringList kept{QStringLiteral("cartola.ini.bak"),
        QStringLiteral("cartola.ini.abcdefg"),
        QStringLiteral("cartola.ini.ab-def"),
        QStringLiteral("other.ini.aBcDeF"),
        QStringLiteral("target.txt")};
    for (const QString &name : kept)
        ASSERT_TRUE(QFile(FDir.filePath(name)).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(beside("target.txt"), beside("cartola.ini.LiNk12")));
    ASSERT_TRUE(QDir(FDir.path()).mkdir(QStringLiteral("cartola.ini.Folder")));
    kept << QStringLiteral("cartola.ini.LiNk12") << QStringLiteral("cartola.ini.Folder");

    // Another process in the middle of its save.
    const QString inProgress = beside("cartola.ini.HeLd42");
    QProcess holder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kHolderVariable), inProgress);
    holder.setProcessEnvironment(env);
    holder.start(QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_filter=HostileSettingsChild.HoldsALock")});
    QByteArray said;
    while (!said.contains("locked\n") && holder.waitForReadyRead(30000))
        said += holder.readAllStandardOutput();
    if (!said.contains("locked\n")) {
        holder.kill();
        holder.waitForFinished();
        FAIL() << "the lock holder never took its lock: " << said.toStdString();
    }
    kept << QStringLiteral("cartola.ini.HeLd42");

    TIniFile ini(Path());
    ini.WriteInteger(S, QStringLiteral("ExportType"), 2);
    ini.UpdateFile();
    holder.kill();
    holder.waitForFinished();

    kept << QStringLiteral("cartola.ini");
    kept.sort();
    const QStringList left =
        QDir(FDir.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    EXPECT_EQ(left.join(QLatin1Char(' ')).toStdString(), kept.join(QLatin1Char(' ')).toStdString());
    EXPECT_EQ(TIniFile(Path()).ReadInteger(S, QStringLiteral("ExportType"), 0), 2);

    // Once its writer is gone, the next save takes it away too.
    ini.WriteInteger(S, QStringLiteral("ExportType"), 3);
    ini.UpdateFile();
    EXPECT_FALSE(QFileInfo::exists(inProgress));
}

} // namespace
