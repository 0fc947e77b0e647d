// The window over a folder built to break listers: special files under
// listable names, links that loop or lead nowhere, unreadable entries, a huge
// sparse file, a path beyond PATH_MAX and names with control characters,
// colons, markup and bytes that are not UTF-8. Every entry is selected from
// the event loop, as a click would, while a timer watches that the loop never
// stalls; every message shown must be one the window knows.

#include "WindowFixture.h"
#include "fileutils/TextPreview.h"
#include "listing/GridColumns.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <deque>
#include <functional>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A frozen window, not a speed goal (speed lives in bench/): a loaded test
// machine takes hundreds of milliseconds for what a blocked open never ends.
constexpr qint64 kLongestGapMs = 5000;

const QString kTooLong = QStringLiteral("The specified path is too long.");
const QString kFormat = QStringLiteral("The path format is not supported.");
const QString kInvalid = QStringLiteral("Invalid characters in path.");
const QString kPathNotFound = QStringLiteral("The specified path was not found.");
const QString kFileNotFound = QStringLiteral("The specified file was not found.");

bool IsKnownErrorMessage(const QString &text)
{
    static const QRegularExpression cannotOpen(
        QStringLiteral("^Cannot open file \".*\"\\. .+\\.$"), QRegularExpression::DotMatchesEverythingOption);
    return text == kTooLong || text == kFormat || text == kInvalid || text == kPathNotFound
        || text == kFileNotFound || cannotOpen.match(text).hasMatch();
}

// Root reads anything; without these two capabilities mode 000 means what it
// says. Capabilities belong to the thread, and the window runs on this one.
class TDacOverrideDropped
{
public:
    TDacOverrideDropped()
    {
        if (geteuid() != 0 || syscall(SYS_capget, &FHeader, FSaved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {FSaved[0], FSaved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        FDropped = syscall(SYS_capset, &FHeader, reduced) == 0;
    }
    ~TDacOverrideDropped()
    {
        if (FDropped)
            syscall(SYS_capset, &FHeader, FSaved);
    }
    TDacOverrideDropped(const TDacOverrideDropped &) = delete;
    TDacOverrideDropped &operator=(const TDacOverrideDropped &) = delete;
    // Whether mode 000 now stops this thread.
    bool Effective() const { return FDropped || geteuid() != 0; }

private:
    __user_cap_header_struct FHeader{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct FSaved[2]{};
    bool FDropped = false;
};

using TSteps = std::deque<std::pair<QString, std::function<void()>>>;

class NastyFolderTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        FNasty = Home() + QStringLiteral("/nasty");
        QProcess script;
        script.start(QString::fromUtf8(CARTOLA_NASTY_FOLDER_SCRIPT), {FNasty});
        ASSERT_TRUE(script.waitForFinished(60000));
        ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
        TfrmMain &w = Window();
        w.cbFiles->setChecked(true);
        w.cbFolders->setChecked(true);
        w.cbExt->setChecked(true);
    }
    void TearDown() override
    {
        DestroyWindow();
        // rm walks below PATH_MAX by itself; QDir cannot.
        QProcess::execute(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("chmod -R u+rwx \"$0\"; rm -rf \"$0\""), FNasty});
        WindowFixture::TearDown();
    }

    // Runs the steps one per turn of the event loop and returns the longest
    // time the loop went without a timer tick, naming the step that took it.
    qint64 RunFromEventLoop(TSteps &steps, QString &slowest)
    {
        QEventLoop loop;
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QString running;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            if (now - last > longest) {
                longest = now - last;
                slowest = running;
            }
            last = now;
        });
        std::function<void()> next = [&] {
            if (steps.empty()) {
                loop.quit();
                return;
            }
            running = steps.front().first;
            const auto step = std::move(steps.front().second);
            steps.pop_front();
            step();
            // A real timer, not a posted call: posted calls could run back to
            // back and starve the ticker, hiding the step that stalls.
            QTimer::singleShot(1, Qt::PreciseTimer, &loop, next);
        };
        clock.start();
        ticker.start();
        QTimer::singleShot(1, Qt::PreciseTimer, &loop, next);
        loop.exec();
        return longest;
    }

    // Lists the folder, then selects each of its rows in turn, as a click would.
    qint64 ListAndSelectEach(const QStringList &folder, QStringList &selected, QString &slowest)
    {
        TSteps steps;
        steps.emplace_back(QStringLiteral("listing ") + folder.join(QLatin1Char('/')), [this, folder] {
            EXPECT_TRUE(SelectPath(folder)) << folder.join(QLatin1Char('/')).toStdString();
        });
        // The rows are known only once the listing ran; one step per row then.
        steps.emplace_back(QStringLiteral("rows"), [&, this] {
            const TGridTable &listing = Window().sgFiles;
            for (int r = listing.RowCount() - 1; r >= 0; --r)
                steps.emplace_front(listing.Cells(fcName, r), [this, &selected, r] {
                    TfrmMain &w = Window();
                    selected << w.sgFiles.Cells(fcName, r);
                    ClickRow(r);
                });
        });
        return RunFromEventLoop(steps, slowest);
    }

    // Selects the tree item, each folder on the way first, as the user would
    // open them; the messages of those on the way are not the test's.
    TFolderNode *SelectPath(const QStringList &names)
    {
        for (qsizetype depth = 1; depth < names.size(); ++depth)
            if (!Select(names.first(depth)))
                return nullptr;
        FErrors.clear();
        return Select(names);
    }

    // A click on a row previews it, also when it was already the selected one.
    void ClickRow(int r)
    {
        TfrmMain &w = Window();
        const bool already = w.sgFiles.Selected() == r;
        w.sgFilesView->setCurrentIndex(w.sgFilesView->model()->index(r, fcName));
        if (already)
            w.Guarded (&TfrmMain::sgFilesSelChanged)();
    }

    // Selects the listed row of that name, as a click would.
    void SelectRow(const QString &name)
    {
        TfrmMain &w = Window();
        for (int r = 0; r < w.sgFiles.RowCount(); ++r)
            if (w.sgFiles.Cells(fcName, r) == name) {
                ClickRow(r);
                return;
            }
        ADD_FAILURE() << "not listed: " << name.toStdString();
    }

    void ExpectOnlyKnownErrorMessages() const
    {
        for (const QString &text : FErrors)
            EXPECT_TRUE(IsKnownErrorMessage(text)) << text.toStdString();
    }

    QString FNasty;
};

TEST_F(NastyFolderTest, EveryQuietEntryIsSelectedWithoutStallingTheWindow)
{
    const TDacOverrideDropped unprivileged;
    QStringList selected;
    QString slowest;
    const qint64 gap =
        ListAndSelectEach({QStringLiteral("nasty"), QStringLiteral("quiet")}, selected, slowest);
    EXPECT_LT(gap, kLongestGapMs) << "while selecting " << slowest.toStdString();

    QStringList expected = {QStringLiteral("x.txt"),
        QStringLiteral("y.zip"),
        QStringLiteral("sock"),
        QStringLiteral("zero.txt"),
        QStringLiteral("a"),
        QStringLiteral("b"),
        QStringLiteral("up"),
        QStringLiteral("dangling.txt"),
        QStringLiteral("locked"),
        QStringLiteral("locked.txt"),
        QStringLiteral("sparse.txt"),
        QStringLiteral("deep")};
    expected.sort();
    selected.sort();
    EXPECT_EQ(selected, expected);
    ExpectOnlyKnownErrorMessages();

    const QString quiet = FNasty + QStringLiteral("/quiet/");
    // Neither special file nor device is read as text, and looking at one says nothing.
    for (const char *name : {"x.txt", "zero.txt"})
        EXPECT_TRUE(FErrors.filter(quiet + QLatin1String(name)).isEmpty()) << name;
    EXPECT_TRUE(FErrors.contains(kFileNotFound)); // the dangling link
    if (unprivileged.Effective())
        EXPECT_EQ(FErrors.filter(QStringLiteral("/quiet/locked.txt\". Permission denied.")).size(), 1);
    else
        ADD_FAILURE() << "mode 000 could not be made to count";

    // Its beginning, once more on its own.
    FErrors.clear();
    SelectRow(QStringLiteral("sparse.txt"));
    TfrmMain &w = Window();
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(w.memoPreview->toPlainText().count(QChar(0)), kTextPreviewLimit);
    EXPECT_TRUE(w.pnlZip->isHidden());
}

TEST_F(NastyFolderTest, AnUnreadableFolderListsNothingAndSaysNothing)
{
    const TDacOverrideDropped unprivileged;
    if (!unprivileged.Effective())
        GTEST_SKIP() << "mode 000 does not stop this process";
    ASSERT_TRUE(SelectPath({QStringLiteral("nasty"), QStringLiteral("quiet"), QStringLiteral("locked")}));
    TfrmMain &w = Window();
    EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folders: 0  Files: 0"));
    EXPECT_EQ(w.sgFiles.RowCount(), 1);
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
}

// A refused file name ends its folder's listing with the message of the path checks.
TEST_F(NastyFolderTest, RefusedFileNamesStopTheListingWithTheirMessage)
{
    const std::pair<QString, QStringList> cases[] = {
        {QStringLiteral("colon"), {kFormat}},
        {QStringLiteral("newline"), {kInvalid}},
        {QStringLiteral("markup"), {kInvalid}},
        // Not UTF-8: listed, and previewed under the bytes on disk.
        {QStringLiteral("bytes"), {}},
    };
    for (const auto &[folder, messages] : cases) {
        SCOPED_TRACE(folder.toStdString());
        FErrors.clear();
        QStringList selected;
        QString slowest;
        const qint64 gap = ListAndSelectEach({QStringLiteral("nasty"), folder}, selected, slowest);
        EXPECT_LT(gap, kLongestGapMs) << "while selecting " << slowest.toStdString();
        EXPECT_EQ(selected.size(), 1); // the listed file, or the blank row a stopped listing leaves
        EXPECT_EQ(FErrors, messages);
        ExpectOnlyKnownErrorMessages();
    }
}

// Folder rows carry no path check: each odd name is listed, selected, and then
// listed itself from the tree.
TEST_F(NastyFolderTest, FoldersWithOddNamesAreListedAndEachOneOpens)
{
    QStringList selected;
    QString slowest;
    qint64 gap = ListAndSelectEach({QStringLiteral("nasty"), QStringLiteral("names")}, selected, slowest);
    EXPECT_LT(gap, kLongestGapMs) << "while selecting " << slowest.toStdString();
    EXPECT_EQ(selected.size(), 4);
    EXPECT_TRUE(selected.contains(QStringLiteral("<img src=x onerror=alert(1)>")));
    EXPECT_TRUE(selected.contains(QStringLiteral("a:b")));
    EXPECT_TRUE(selected.contains(QStringLiteral("line\nbreak")));
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();

    for (const QString &name : std::as_const(selected)) {
        SCOPED_TRACE(name.toStdString());
        FErrors.clear();
        QStringList inner;
        gap = ListAndSelectEach({QStringLiteral("nasty"), QStringLiteral("names"), name}, inner, slowest);
        EXPECT_LT(gap, kLongestGapMs) << "while selecting " << slowest.toStdString();
        ExpectOnlyKnownErrorMessages();
        if (name.contains(QLatin1Char(':')))
            EXPECT_EQ(FErrors, QStringList(kFormat));
        else if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('<')))
            EXPECT_EQ(FErrors, QStringList(kInvalid));
        else // the folder named by bytes that are not UTF-8 lists as itself
            EXPECT_EQ(FErrors, QStringList());
    }
}

// The tree follows the chain of folders as deep as the system lets it list,
// past PATH_MAX, and the folder beyond simply lists nothing.
TEST_F(NastyFolderTest, APathDeeperThanPathMaxListsAsEmpty)
{
    QStringList names = {QStringLiteral("nasty"), QStringLiteral("quiet"), QStringLiteral("deep")};
    TFolderNode *node = nullptr;
    TSteps steps;
    std::function<void()> down = [&] {
        node = names.size() == 3 ? SelectPath(names) : Select(names);
        ASSERT_TRUE(node);
        if (node->Children.empty())
            return;
        names << node->Children.front()->Text;
        steps.emplace_back(QStringLiteral("level %1").arg(names.size()), down);
    };
    steps.emplace_back(QStringLiteral("deep"), down);
    QString slowest;
    const qint64 gap = RunFromEventLoop(steps, slowest);
    EXPECT_LT(gap, kLongestGapMs) << "while selecting " << slowest.toStdString();
    ASSERT_TRUE(node);
    EXPECT_GT(QFile::encodeName(node->TagString).size(), 4096);
    EXPECT_EQ(Window().lblCountDir->text(), QStringLiteral("Folders: 0  Files: 0"));
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
}

} // namespace
