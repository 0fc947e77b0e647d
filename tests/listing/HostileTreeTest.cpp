// The tree walk against another user renaming folders under it, and against
// files whose times no date holds.
#include "listing/TreeListing.h"
#include "listing/TreeWalk.h"
#include "platform/LocaleServices.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Bytes(const QString &path)
{
    return QFile::encodeName(path);
}

class HostileTreeTest : public TTempFolderTest
{
protected:
    // Every listed row as its path and name, and every folder left out with its message.
    void Walk(const QString &top)
    {
        TTreeOptions options;
        options.Threads = 1;
        TTreeWalk walk(options);
        walk.Run(top, [this](const QString &folder, const QString &message) {
            Errors << folder + QStringLiteral(": ") + message;
        });
        for (const TTreeRow &row : walk.Rows())
            Listed << walk.Folder(row.Folder).Path + QString::fromUtf8(row.Name);
    }

    void TearDown() override { TTreeWalk::OnFolderRead = nullptr; }

    QStringList Listed;
    QStringList Errors;
};

TEST_F(HostileTreeTest, AFolderRenamedAfterItsParentWasReadNeverLeadsOutOfTheTree)
{
    const QString tree = PathOf(QStringLiteral("tree"));
    const QString vault = PathOf(QStringLiteral("private"));
    const struct
    {
        const char *What;
        const char *ReadFolder; // the swap follows the reading of this folder
        const char *Swapped;
        bool ForALink; // else another real folder takes the name
        bool LeftOut; // the swapped folder is reported
    } cases[] = {
        {"a child, for a link", "/a/", "/a/b", true, true},
        {"the deepest folder, for a link", "/a/b/", "/a/b/c", true, true},
        {"a child, for another folder", "/a/", "/a/b", false, true},
        {"an ancestor of the next folder", "/a/b/", "/a", true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.What);
        QDir(tree).removeRecursively();
        QDir(vault).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(tree + QStringLiteral("/a/b/c")));
        WriteFile(tree + QStringLiteral("/a/b/c/leaf.txt"), "mine");
        // The place a link would lead to has the same shape, so any path still resolves.
        ASSERT_TRUE(QDir().mkpath(vault + QStringLiteral("/b/c")));
        for (const char *secret : {"/vault.txt", "/b/vault.txt", "/b/c/vault.txt"})
            WriteFile(vault + QLatin1String(secret), "secret");

        const QString swapped = tree + QLatin1String(c.Swapped);
        bool done = false;
        TTreeWalk::OnFolderRead = [&](const QString &folder) {
            if (done || folder != tree + QLatin1String(c.ReadFolder))
                return;
            done = true;
            ASSERT_EQ(::rename(Bytes(swapped), Bytes(swapped + QStringLiteral(".old"))), 0);
            if (c.ForALink)
                ASSERT_EQ(::symlink(Bytes(vault), Bytes(swapped)), 0);
            else
                ASSERT_EQ(::rename(Bytes(vault), Bytes(swapped)), 0);
        };
        Listed.clear();
        Errors.clear();
        Walk(tree);
        EXPECT_TRUE(done);
        EXPECT_TRUE(Listed.filter(QStringLiteral("vault")).isEmpty())
            << Listed.join(QLatin1Char(' ')).toStdString();
        if (c.LeftOut) {
            ASSERT_EQ(Errors.size(), 1);
            EXPECT_TRUE(Errors[0].startsWith(swapped + QStringLiteral(": "))) << Errors[0].toStdString();
        } else {
            EXPECT_EQ(Errors, QStringList());
            EXPECT_TRUE(Listed.contains(tree + QStringLiteral("/a/b/c/leaf.txt")));
        }
    }
}

// Any user can give a file on tmpfs a time centuries past the year 9999.
TEST_F(HostileTreeTest, TimesNoDateHoldsListAsAFailedConversion)
{
    QTemporaryDir shm(QStringLiteral("/dev/shm/cartola-test-XXXXXX"));
    if (!shm.isValid())
        GTEST_SKIP() << "no /dev/shm here";
    const int64_t times[] = {int64_t(1) << 40, INT64_MAX, -(int64_t(1) << 40), INT64_MIN};
    QHash<QString, int64_t> stored; // what the file system kept of each
    for (const int64_t seconds : times) {
        const QString path = shm.filePath(QString::number(seconds));
        WriteFile(path, "x");
        const struct timespec both[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
        if (::utimensat(AT_FDCWD, Bytes(path), both, 0) != 0)
            continue; // refused: the arithmetic is tested without a file too
        struct stat st
        { };
        ASSERT_EQ(::stat(Bytes(path), &st), 0);
        stored.insert(QString::number(seconds), int64_t(st.st_mtim.tv_sec));
    }
    ASSERT_FALSE(stored.isEmpty());

    TTreeOptions options;
    TTreeWalk walk(options);
    walk.Run(shm.path(), [](const QString &, const QString &) {});
    ASSERT_EQ(walk.Rows().size(), size_t(std::size(times)));
    for (const TTreeRow &row : walk.Rows()) {
        const QString name = QString::fromUtf8(row.Name);
        if (!stored.contains(name))
            continue;
        SCOPED_TRACE(name.toStdString() + " kept as " + std::to_string(stored[name]));
        EXPECT_EQ(row.ModifiedMs, UnixMilliseconds(stored[name], 0));
        EXPECT_EQ(ShownDateTime(row, 3600, QLatin1Char('.')), 0.0);
    }
}

} // namespace
