#include "WindowFixture.h"
#include "platform/Errors.h"

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// The title the window manager shows: _NET_WM_NAME as xprop reads it.
std::string WmName(const QWidget &window)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
        {QStringLiteral("-id"), QString::number(window.winId()), QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(10000))
        return "<xprop did not answer>";
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype open = out.indexOf(QLatin1Char('"'));
    return open < 0 ? out.toStdString()
                    : out.mid(open + 1, out.lastIndexOf(QLatin1Char('"')) - open - 1).toStdString();
}

// The title of the modal dialog that `open` shows, read once it is on screen; the dialog is then closed.
std::string DialogTitle(const std::function<void()> &open)
{
    std::string title = "<no dialog>";
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->windowHandle() || !dialog->windowHandle()->isExposed())
            return;
        poll.stop();
        title = WmName(*dialog);
        dialog->reject();
    });
    poll.start(20);
    open();
    return title;
}

class WindowTitleTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server: run under tests/support/with-xvfb";
        WindowFixture::SetUp();
    }
};

TEST_F(WindowTitleTest, TheWindowAndItsDialogsShowTheirOwnTitlesAlone)
{
    // The window's own error displays, not the fixture's recorders.
    TfrmMain w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(WmName(w), "Cartola - Orley Software");
    EXPECT_EQ(DialogTitle([&w] {
        w.ShowException(EError(QStringLiteral("Boom")));
    }),
        "Cartola");
    EXPECT_EQ(DialogTitle([&w] {
        w.AssociationErrorBox(QStringLiteral("Could not open it."));
    }),
        "Error");
    w.cbExportType->setCurrentIndex(0);
    EXPECT_EQ(DialogTitle([&w] {
        w.btnSaveClick();
    }),
        "Save As");
}

} // namespace
