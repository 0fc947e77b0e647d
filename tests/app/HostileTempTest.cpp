// The window on a machine shared with someone hostile: another local user
// plants folders and links in the shared temporary folder, where the window
// writes its previews and extracts archive entries. The attacker's part runs
// as a second user (nobody), as it would on such a machine.

#include "WindowFixture.h"
#include "fileutils/FileUtils.h"
#include "tools/ZipBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace ZipBuilder;

class HostileTempTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        // Shared like /tmp: anyone may create, nobody may remove another's entries.
        ::chmod(QFile::encodeName(FTemp.path()).constData(), 0755);
        ::chmod(QFile::encodeName(TmpDir()).constData(), 01777);
        MakeDir(QStringLiteral("p"));
        MakeDir(QStringLiteral("Documents"));
        MakeFile(QStringLiteral("Documents/letter.txt"), "dear");
        MakeFile(QStringLiteral("precious.txt"), "precious");
        TArchive a;
        a.Add("docs/readme.txt", "read me", 8);
        ASSERT_TRUE(WriteBytes(Home() + QStringLiteral("/p/photos.zip"), a.Build()));
    }
    QString TmpDir() const { return FTemp.path() + QStringLiteral("/tmp"); }
    QString Shared() const { return TmpDir() + QStringLiteral("/cartola-") + QString::number(getuid()); }

    // Runs a shell script as another user; $1.. are the arguments.
    void AsAttacker(const QString &script, const QStringList &arguments)
    {
        QProcess p;
        p.start(QStringLiteral("setpriv"),
            QStringList{QStringLiteral("--reuid=65534"),
                QStringLiteral("--regid=65534"),
                QStringLiteral("--clear-groups"),
                QStringLiteral("/bin/sh"),
                QStringLiteral("-ec"),
                script,
                QStringLiteral("attacker")}
                + arguments);
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }

    // What a user does: previews an HTML export, opens an archive entry, closes
    // the window. Unless the shared folder is a sound one, nothing goes in it.
    void PreviewOpenAndClose(bool sharedIsSound = false)
    {
        TfrmMain &w = Window();
        w.cbExportType->setCurrentIndex(1);
        w.Guarded (&TfrmMain::btnPreviewClick)();
        PickRow({QStringLiteral("p")}, QStringLiteral("photos.zip"));
        w.stgZippedFiles.RequestSelected(0);
        w.Guarded (&TfrmMain::stgZippedFilesDblClick)();
        EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(FOpener.Opened.size(), 2);
        for (const QString &opened : FOpener.Opened)
            EXPECT_EQ(opened.startsWith(Shared() + QLatin1Char('/')), sharedIsSound) << opened.toStdString();
        EXPECT_EQ(FOpener.Opened[1], w.FBaseTempDir + QStringLiteral("/photos.zip/docs/readme.txt"));
        DestroyWindow();
        EXPECT_FALSE(QFileInfo::exists(FOpener.Opened[1]));
    }
    bool HomeIntact() const
    {
        const auto read = [](const QString &path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        return read(Home() + QStringLiteral("/precious.txt")) == "precious"
            && read(Home() + QStringLiteral("/Documents/letter.txt")) == "dear";
    }
};

// The attack as it was made: the shared folder made by another user, open to
// all, with a link at the preview file's name and links at the per-run
// folder's name and the names after it.
#define REQUIRE_SECOND_USER()                                                                                \
    if (geteuid() != 0)                                                                                      \
    GTEST_SKIP() << "needs root to act as a second user"

TEST_F(HostileTempTest, PlantedLinksNeverLeadAWriteOrARemovalOutOfThePrivateFolder)
{
    REQUIRE_SECOND_USER();
    const QString planned = Window().FBaseTempDir;
    ASSERT_FALSE(QFileInfo::exists(Shared())) << "the window must not touch the folder at start";
    QStringList names{QFileInfo(planned).fileName()};
    for (int i = 0; i < 4; ++i)
        names << QFileInfo(NextBaseTempDir(TmpDir() + QLatin1Char('/') + names.last())).fileName();
    AsAttacker(QStringLiteral("d=\"$1\"; home=\"$2\"; shift 2; mkdir -m 777 \"$d\"; "
                              "ln -s \"$home/precious.txt\" \"$d/BrambleTemp.htm\"; "
                              "for n in \"$@\"; do ln -s \"$home/Documents\" \"$d/$n\"; done"),
        QStringList{Shared(), Home()} + names);
    PreviewOpenAndClose();
    EXPECT_TRUE(HomeIntact());
    EXPECT_TRUE(QFileInfo(Shared() + QStringLiteral("/BrambleTemp.htm")).isSymLink());
    EXPECT_EQ(QFileInfo(Shared()).ownerId(), 65534u);
}

// Our own folder under the shared name, but open to all: it may hold anything
// by now, so it is neither used nor mended.
TEST_F(HostileTempTest, AnOpenFolderOfOursIsNotAdopted)
{
    REQUIRE_SECOND_USER();
    ASSERT_TRUE(QDir().mkdir(Shared()));
    ASSERT_EQ(::chmod(QFile::encodeName(Shared()).constData(), 0777), 0);
    AsAttacker(QStringLiteral("ln -s \"$2/precious.txt\" \"$1/BrambleTemp.htm\""), {Shared(), Home()});
    PreviewOpenAndClose();
    EXPECT_TRUE(HomeIntact());
    struct stat st
    { };
    ASSERT_EQ(::lstat(QFile::encodeName(Shared()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0777u);
}

// Whatever the temporary folder looks like, the window starts, and it writes
// when asked as long as any folder can be had.
TEST_F(HostileTempTest, TheWindowAlwaysStarts)
{
    REQUIRE_SECOND_USER();
    const struct
    {
        const char *what;
        QByteArray tmpdir;
        QString plant; // a script run as the attacker with the shared name as $1
    } rows[] = {
        {"TMPDIR names nothing", "/nonexistent/tmp", {}},
        {"another user's folder", {}, QStringLiteral("mkdir -m 700 \"$1\"")},
        {"a link at the folder's name", {}, QStringLiteral("ln -s /etc \"$1\"")},
        {"a file at the folder's name", {}, QStringLiteral("echo x > \"$1\"")},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        if (!row.tmpdir.isEmpty())
            qputenv("TMPDIR", row.tmpdir);
        if (!row.plant.isEmpty())
            AsAttacker(row.plant, {Shared()});
        FOpener.Opened.clear();
        PreviewOpenAndClose();
        EXPECT_TRUE(HomeIntact());
        qputenv("TMPDIR", QFile::encodeName(TmpDir()));
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), Shared()});
    }
}

// No folder at all can be had: a write is refused with the error display, and
// the window goes on.
TEST_F(HostileTempTest, AnUnusableTemporaryFolderIsAnErrorWhenWrittenNotAtStart)
{
    qputenv("TMPDIR", "/proc");
    TfrmMain &w = Window();
    w.cbExportType->setCurrentIndex(1);
    w.Guarded (&TfrmMain::btnPreviewClick)();
    EXPECT_EQ(FErrors.size(), 1);
    PickRow({QStringLiteral("p")}, QStringLiteral("photos.zip"));
    w.Guarded (&TfrmMain::stgZippedFilesDblClick)();
    EXPECT_EQ(FErrors.size(), 2);
    EXPECT_TRUE(FOpener.Opened.isEmpty());
    EXPECT_FALSE(w.pnlZip->isHidden());
    DestroyWindow();
    EXPECT_EQ(FErrors.size(), 2);
}

// A name taken in our own folder is passed over for the next one, and closing
// removes only the folder this run made.
TEST_F(HostileTempTest, ALinkAtThePerRunFolderNameIsPassedOver)
{
    TfrmMain &w = Window();
    const QString planned = w.FBaseTempDir;
    ASSERT_TRUE(QDir().mkpath(Shared()));
    ::chmod(QFile::encodeName(Shared()).constData(), 0700);
    ASSERT_TRUE(QFile::link(Home() + QStringLiteral("/Documents"), planned));
    PreviewOpenAndClose(true);
    EXPECT_TRUE(HomeIntact());
    EXPECT_TRUE(QFileInfo(planned).isSymLink());
    EXPECT_FALSE(FOpener.Opened[1].startsWith(planned + QLatin1Char('/')));
    EXPECT_EQ(QDir(Home() + QStringLiteral("/Documents")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList{QStringLiteral("letter.txt")});
}

// An entry nested deeper than any path can name still goes with the folder.
TEST_F(HostileTempTest, AnEntryNestedPastPathMaxIsRemovedOnClose)
{
    QByteArray name;
    while (name.size() <= PATH_MAX)
        name += QByteArray(200, 'd') + '/';
    name += "bottom.txt";
    TArchive a;
    a.Add(name, "deep");
    ASSERT_TRUE(WriteBytes(Home() + QStringLiteral("/p/deep.zip"), a.Build()));
    PickRow({QStringLiteral("p")}, QStringLiteral("deep.zip"));
    TfrmMain &w = Window();
    w.Guarded (&TfrmMain::stgZippedFilesDblClick)();
    ASSERT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
    const QString folder = w.FBaseTempDir;
    ASSERT_TRUE(QFileInfo(folder + QStringLiteral("/deep.zip")).isDir());
    DestroyWindow();
    EXPECT_FALSE(QFileInfo::exists(folder));
}

} // namespace
