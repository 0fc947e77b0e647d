#include "FakePortal.h"
#include "WindowFixture.h"
#include "listing/GridColumns.h"
#include "tools/ZipBuilder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>
#include <QTimer>

#include <unistd.h>

namespace {

// Default applications of our own: GIO reads them from these folders, which it
// looks up once per process, so they are made once for all tests.
class PortalOpenWindowTest : public WindowFixture
{
protected:
    static void SetUpTestSuite()
    {
        FApps = new QTemporaryDir;
        const QString root = FApps->path();
        QDir().mkpath(root + QStringLiteral("/data/applications"));
        QDir().mkpath(root + QStringLiteral("/config"));
        // The application writes the paths it was given to <root>/<name>.argv.
        Write(root + QStringLiteral("/record"),
            "#!/bin/sh\nname=$1; shift\nprintf '%s\\n' \"$@\" > \"$0.$name.tmp\" && mv \"$0.$name.tmp\" "
            "\"$0.$name.argv\"\n");
        QFile::setPermissions(root + QStringLiteral("/record"), QFile::ReadOwner | QFile::ExeOwner);
        const struct
        {
            const char *name, *type, *sandbox;
        } apps[] = {{"snap", "text/html", "X-SnapInstanceName=standin\n"},
            {"flatpak", "text/csv", "X-Flatpak=org.example.Standin\n"},
            {"plain", "text/plain", ""}};
        QByteArray defaults = "[Default Applications]\n";
        for (const auto &app : apps) {
            Write(root + QStringLiteral("/data/applications/cartola-%1.desktop").arg(QLatin1String(app.name)),
                QByteArray("[Desktop Entry]\nType=Application\nName=") + app.name + "\nExec=\""
                    + QFile::encodeName(root) + "/record\" " + app.name + " %f\nMimeType=" + app.type + ";\n"
                    + app.sandbox);
            defaults += QByteArray(app.type) + "=cartola-" + app.name + ".desktop\n";
        }
        Write(root + QStringLiteral("/config/mimeapps.list"), defaults);
        qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")));
    }
    static void TearDownTestSuite() { delete FApps; }
    void SetUp() override
    {
        WindowFixture::SetUp();
        SetShellOpener(nullptr);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(FApps->path() + QStringLiteral("/config")));
        QDir(FApps->path() + QStringLiteral("/config/cartola")).removeRecursively();
        for (const char *name : {"snap", "flatpak", "plain"})
            QFile::remove(Argv(name));
        MakeDir(QStringLiteral("docs"));
        MakeFile(QStringLiteral("docs/a.txt"), "x");
    }
    static void Write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray Read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QString Argv(const char *app)
    {
        return FApps->path() + QStringLiteral("/record.%1.argv").arg(QLatin1String(app));
    }
    // What the application was started with; it runs on its own, so wait for it.
    static QByteArray WaitForArgv(const char *app)
    {
        for (QDeadlineTimer deadline(20000); !QFile::exists(Argv(app)) && !deadline.hasExpired();)
            QThread::msleep(20);
        return Read(Argv(app));
    }
    QString Preview(int type)
    {
        TfrmMain &w = Window();
        if (!w.SelectedNode())
            Select({QStringLiteral("docs")});
        w.cbExportType->setCurrentIndex(type);
        w.Guarded (&TfrmMain::btnPreviewClick)();
        return FTemp.path() + QStringLiteral("/tmp/cartola-") + QString::number(getuid()) + QLatin1Char('/');
    }
    static QTemporaryDir *FApps;
};

QTemporaryDir *PortalOpenWindowTest::FApps = nullptr;

TEST_F(PortalOpenWindowTest, PreviewForASandboxedApplicationGoesThroughThePortalOnce)
{
    const struct
    {
        int type;
        const char *file;
    } rows[] = {{1, "BrambleTemp.htm"}, {2, "BrambleTemp.csv"}};
    for (const auto &row : rows) {
        TFakePortal portal(QStringLiteral("ok"));
        ASSERT_TRUE(portal.Ready());
        const QByteArray written = Read(Preview(row.type) + QLatin1String(row.file));
        ASSERT_FALSE(written.isEmpty()) << row.file;
        EXPECT_EQ(portal.Calls(), QStringList{QStringLiteral("'' 0 ro")}) << row.file;
        EXPECT_EQ(portal.Received(1), written) << row.file;
    }
    EXPECT_TRUE(FErrors.isEmpty());
    EXPECT_FALSE(QFile::exists(Argv("snap")));
    EXPECT_FALSE(QFile::exists(Argv("flatpak")));
}

TEST_F(PortalOpenWindowTest, APlainApplicationGetsThePathAsBefore)
{
    TFakePortal portal(QStringLiteral("ok"));
    ASSERT_TRUE(portal.Ready());
    const QString dir = Preview(0);
    EXPECT_EQ(WaitForArgv("plain"), QFile::encodeName(dir) + "BrambleTemp.txt\n");
    EXPECT_TRUE(portal.Calls().isEmpty());
}

TEST_F(PortalOpenWindowTest, WithoutAPortalTheSandboxedApplicationGetsThePath)
{
    const QString dir = Preview(1);
    EXPECT_EQ(WaitForArgv("snap"), QFile::encodeName(dir) + "BrambleTemp.htm\n");
}

TEST_F(PortalOpenWindowTest, APortalFailureShowsTheAssociationBox)
{
    ZipBuilder::TArchive a;
    a.Add("page.html", "<p>hi</p>");
    ASSERT_TRUE(ZipBuilder::WriteBytes(Home() + QStringLiteral("/docs/site.zip"), a.Build()));
    PickRow({QStringLiteral("docs")}, QStringLiteral("site.zip"));
    for (const char *mode : {"error", "deny", "ok"}) {
        FAssociationErrors.clear();
        TFakePortal portal(QString::fromLatin1(mode));
        ASSERT_TRUE(portal.Ready());
        Window().stgZippedFilesDblClick();
        EXPECT_EQ(portal.Calls().size(), 1) << mode;
        EXPECT_EQ(portal.Received(1), QByteArray("<p>hi</p>")) << mode;
        const QStringList box{
            QStringLiteral("Could not open page.html - A file association may not have been set.")};
        EXPECT_EQ(FAssociationErrors, qstrcmp(mode, "ok") == 0 ? QStringList() : box) << mode;
    }
}

// The portal answers after more than a second: the window's event loop runs
// all along, with the window taking no input, and the late answer counts.
TEST_F(PortalOpenWindowTest, WhileThePortalIsAskedTheWindowRunsButTakesNoInput)
{
    ZipBuilder::TArchive a;
    a.Add("page.html", "<p>hi</p>");
    ASSERT_TRUE(ZipBuilder::WriteBytes(Home() + QStringLiteral("/docs/site.zip"), a.Build()));
    PickRow({QStringLiteral("docs")}, QStringLiteral("site.zip"));
    TFakePortal portal(QStringLiteral("late"));
    ASSERT_TRUE(portal.Ready());
    int ticks = 0;
    bool enabledMeanwhile = false;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        enabledMeanwhile = enabledMeanwhile || Window().isEnabled();
    });
    timer.start();
    Window().stgZippedFilesDblClick();
    timer.stop();
    EXPECT_GT(ticks, 0);
    EXPECT_FALSE(enabledMeanwhile);
    EXPECT_TRUE(Window().isEnabled());
    EXPECT_EQ(portal.Calls().size(), 1);
    EXPECT_TRUE(FAssociationErrors.isEmpty());
}

} // namespace
