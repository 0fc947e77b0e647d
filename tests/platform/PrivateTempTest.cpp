#include "platform/PrivateTemp.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kOtherUser = 65534;

QByteArray Native(const QString &path)
{
    return QFile::encodeName(path);
}

struct stat LStat(const QString &path)
{
    struct stat st
    { };
    ::lstat(Native(path).constData(), &st);
    return st;
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

// Nests folders of 200-byte names below path until the depth is past PATH_MAX,
// one step at a time as no path can name the bottom; a file at the bottom.
void MakeDeepTree(const QString &path)
{
    int fd = ::open(Native(path).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const QByteArray part(200, 'd');
    for (int depth = 0; depth * (part.size() + 1) <= PATH_MAX + 200; ++depth) {
        ASSERT_EQ(::mkdirat(fd, part.constData(), 0700), 0);
        const int next = ::openat(fd, part.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    const int file = ::openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0600);
    EXPECT_GE(file, 0);
    ::close(file);
    ::close(fd);
}

class PrivateTempTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTemp.isValid());
        FSavedTmpdir = qgetenv("TMPDIR");
        FTmp = FTemp.path() + QStringLiteral("/tmp");
        ASSERT_TRUE(QDir().mkpath(FTmp));
        // Shared like /tmp, so another user could plant here.
        ::chmod(Native(FTemp.path()).constData(), 0755);
        ::chmod(Native(FTmp).constData(), 01777);
        qputenv("TMPDIR", Native(FTmp));
        FShared = FTmp + QStringLiteral("/cartola-") + QString::number(getuid());
        FVictim = FTemp.path() + QStringLiteral("/precious");
        ASSERT_TRUE(QDir().mkpath(FVictim));
        Write(FVictim + QStringLiteral("/keep.txt"), "mine");
    }
    void TearDown() override
    {
        ReleaseUserTempDir();
        qputenv("TMPDIR", FSavedTmpdir);
    }
    bool VictimIntact() const { return Read(FVictim + QStringLiteral("/keep.txt")) == "mine"; }

    QTemporaryDir FTemp;
    QByteArray FSavedTmpdir;
    QString FTmp;
    QString FShared;
    QString FVictim;
};

TEST_F(PrivateTempTest, ThePathIsOnlyBuiltAndAMissingTmpdirMeansTmp)
{
    EXPECT_EQ(UserTempPath(), FShared + QLatin1Char('/'));
    EXPECT_FALSE(QFileInfo::exists(FShared));
    for (const QByteArray &bad :
        {QByteArray("/nonexistent/tmp"), Native(FVictim + QStringLiteral("/keep.txt"))}) {
        qputenv("TMPDIR", bad);
        EXPECT_EQ(
            UserTempPath(), QStringLiteral("/tmp/cartola-") + QString::number(getuid()) + QLatin1Char('/'));
    }
}

TEST_F(PrivateTempTest, ASoundFolderIsUsedAndAMissingOneIsMadePrivate)
{
    EXPECT_EQ(UserTempDir(), FShared + QLatin1Char('/'));
    EXPECT_EQ(LStat(FShared).st_mode & 07777, 0700u);
    EXPECT_EQ(UserTempDir(), FShared + QLatin1Char('/'));
}

// Whatever stands at the shared name and is not a private folder of ours is
// left as it is, and the run gets a fresh folder of its own.
TEST_F(PrivateTempTest, NothingAtTheSharedNameIsAdoptedOrChanged)
{
    const struct
    {
        const char *what;
        std::function<void()> plant;
        bool needsRoot = false; // to hand a folder to another user
    } rows[] = {
        {"a folder of ours open to all",
            [&] {
                QDir().mkdir(FShared);
                ::chmod(Native(FShared).constData(), 0777);
                QFile::link(
                    FVictim + QStringLiteral("/keep.txt"), FShared + QStringLiteral("/BrambleTemp.htm"));
            }},
        {"another user's folder",
            [&] {
                ::mkdir(Native(FShared).constData(), 0700);
                QFile::link(
                    FVictim + QStringLiteral("/keep.txt"), FShared + QStringLiteral("/BrambleTemp.htm"));
                ::lchown(
                    Native(FShared + QStringLiteral("/BrambleTemp.htm")).constData(), kOtherUser, kOtherUser);
                ::chown(Native(FShared).constData(), kOtherUser, kOtherUser);
            },
            true},
        {"a link to a folder of ours",
            [&] {
                QFile::link(FVictim, FShared);
            }},
        {"a file",
            [&] {
                Write(FShared, "planted");
            }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        if (row.needsRoot && geteuid() != 0) {
            std::cout << "[  SKIPPED ] the row \"" << row.what << "\" needs root\n";
            continue;
        }
        row.plant();
        const struct stat before = LStat(FShared);
        const QString dir = UserTempDir();
        EXPECT_NE(dir, FShared + QLatin1Char('/'));
        const struct stat got = LStat(dir.chopped(1));
        EXPECT_TRUE(S_ISDIR(got.st_mode) && got.st_uid == geteuid() && (got.st_mode & 07777) == 0700);

        QString path;
        const int fd = CreatePrivateFile(QStringLiteral("BrambleTemp.htm"), path);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::write(fd, "export", 6), 6);
        ::close(fd);
        EXPECT_EQ(path, dir + QStringLiteral("BrambleTemp.htm"));
        EXPECT_EQ(Read(path), "export");
        EXPECT_EQ(UserTempDir(), dir); // the same folder for the whole run

        ReleaseUserTempDir();
        EXPECT_FALSE(QFileInfo::exists(dir));
        const struct stat after = LStat(FShared);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_TRUE(VictimIntact());
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), FShared});
    }
}

TEST_F(PrivateTempTest, APreviewFileReplacesALinkAtItsNameWithoutWritingThroughIt)
{
    ASSERT_EQ(UserTempDir(), FShared + QLatin1Char('/'));
    ASSERT_TRUE(
        QFile::link(FVictim + QStringLiteral("/keep.txt"), FShared + QStringLiteral("/BrambleTemp.csv")));
    QString path;
    const int fd = CreatePrivateFile(QStringLiteral("BrambleTemp.csv"), path);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, "a,b", 3), 3);
    ::close(fd);
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(Read(path), "a,b");
    EXPECT_TRUE(VictimIntact());
}

TEST_F(PrivateTempTest, AFolderIsMadeUnderAFreeNameAndOnlyWhatWasMadeIsRemoved)
{
    const QString base = UserTempDir() + QStringLiteral("cartola41");
    const auto next = [](const QString &p) {
        return p.chopped(2) + QString::number(p.right(2).toInt() + 1);
    };
    // A link at the planned name is passed over, not followed.
    ASSERT_TRUE(QFile::link(FVictim, base));
    TOwnedFolder folder;
    folder.Make(base, next);
    EXPECT_EQ(folder.Path(), UserTempDir() + QStringLiteral("cartola42"));
    Write(folder.Path() + QStringLiteral("/a.txt"), "x");
    ASSERT_TRUE(QFile::link(FVictim, folder.Path() + QStringLiteral("/up")));
    MakeDeepTree(folder.Path());
    EXPECT_TRUE(folder.Remove());
    EXPECT_FALSE(QFileInfo::exists(folder.Path()));
    EXPECT_TRUE(QFileInfo(base).isSymLink());
    EXPECT_TRUE(VictimIntact());

    // A folder put in the place of the one made is not ours to remove.
    TOwnedFolder moved;
    moved.Make(base, next);
    ASSERT_EQ(
        ::rename(Native(moved.Path()).constData(), Native(moved.Path() + QStringLiteral("x")).constData()),
        0);
    ASSERT_TRUE(QDir().mkdir(moved.Path()));
    Write(moved.Path() + QStringLiteral("/other.txt"), "y");
    EXPECT_FALSE(moved.Remove());
    EXPECT_EQ(Read(moved.Path() + QStringLiteral("/other.txt")), "y");
}

TEST_F(PrivateTempTest, RemovingATreeReachesBelowPathMaxAndFollowsNoLink)
{
    const QString top = FTemp.path() + QStringLiteral("/top");
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/a/b")));
    MakeDeepTree(top + QStringLiteral("/a"));
    ASSERT_TRUE(QFile::link(FVictim, top + QStringLiteral("/a/b/victim")));
    ASSERT_TRUE(QFile::link(FVictim + QStringLiteral("/keep.txt"), top + QStringLiteral("/keep")));
    const int fd = ::open(Native(FTemp.path()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(RemoveTreeAt(fd, "top"));
    ::close(fd);
    EXPECT_FALSE(QFileInfo::exists(top));
    EXPECT_TRUE(VictimIntact());
}

} // namespace
