#include "ExportTestSupport.h"
#include "export/OutputSink.h"
#include "export/uNativeXLSExport.h"
#include "export/uSGExports.h"
#include "platform/Errors.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TGridTable SampleGrid(int rows)
{
    std::vector<QStringList> cells;
    for (int r = 0; r < rows; ++r)
        cells.push_back({QStringLiteral("/d/f%1").arg(r),
            QStringLiteral("f,%1 \u00E9\u0436").arg(r),
            QStringLiteral("%1 KB").arg(r)});
    return MakeGrid({QStringLiteral("??"), QStringLiteral("Name"), QStringLiteral("Size")}, cells, {0});
}

// One way of writing a grid both to a file and to a device.
struct TWriter
{
    const char *name;
    std::function<void(const QString &, const TGridTable &)> toFile;
    std::function<void(QIODevice &, const QString &, const TGridTable &)> toDevice;
};

const std::vector<TWriter> &Writers()
{
    static const std::vector<TWriter> writers = {
        {"tab",
            [](const QString &p, const TGridTable &g) {
                GridToDelimited(p, QLatin1Char('\t'), true, g);
            },
            [](QIODevice &d, const QString &, const TGridTable &g) {
                GridToDelimited(d, QLatin1Char('\t'), true, g);
            }},
        {"csv",
            [](const QString &p, const TGridTable &g) {
                GridToDelimited(p, QLatin1Char(','), false, g);
            },
            [](QIODevice &d, const QString &, const TGridTable &g) {
                GridToDelimited(d, QLatin1Char(','), false, g);
            }},
        {"html",
            [](const QString &p, const TGridTable &g) {
                GridToHTML(p, g, QStringLiteral("/h"), true);
            },
            [](QIODevice &d, const QString &p, const TGridTable &g) {
                GridToHTML(d, p, g, QStringLiteral("/h"), true);
            }},
        {"xls",
            [](const QString &p, const TGridTable &g) {
                GridToXLS(p, true, true, g);
            },
            [](QIODevice &d, const QString &, const TGridTable &g) {
                GridToXLS(d, true, true, g);
            }},
    };
    return writers;
}

class ExportFile : public TTempFolderTest
{ };

TEST_F(ExportFile, FileAndDeviceGiveTheSameBytesOverAnOlderLongerFile)
{
    // Enough rows to pass the write buffer several times.
    const TGridTable grid = SampleGrid(20000);
    for (const TWriter &w : Writers()) {
        const QString path = PathOf(QStringLiteral("out.") + QLatin1String(w.name));
        WriteFile(path, QByteArray(3 << 20, 'o'));
        w.toFile(path, grid);
        const QByteArray onDevice = Captured([&](QIODevice &d) {
            w.toDevice(d, path, grid);
        });
        EXPECT_GT(onDevice.size(), 128 * 1024) << w.name;
        EXPECT_TRUE(ReadAll(path) == onDevice) << w.name;
        // And a short export leaves nothing of the long one.
        w.toFile(path, SampleGrid(0));
        EXPECT_TRUE(ReadAll(path) == Captured([&](QIODevice &d) {
            w.toDevice(d, path, SampleGrid(0));
        })) << w.name;
    }
}

// The text writers' input/output errors, by cause.
TEST_F(ExportFile, TextErrorsCarryTheirCodeAndMessage)
{
    QDir(FDir.path()).mkdir(QStringLiteral("folder.txt"));
    const QString longPath =
        FDir.path() + QLatin1Char('/') + QString(260 - FDir.path().size(), QLatin1Char('n'));
    ASSERT_EQ(longPath.size(), 261);
    const struct
    {
        QString path;
        int code;
        QString message;
    } cases[] = {
        {PathOf(QStringLiteral("missing/out.txt")),
            3,
            QStringLiteral("Invalid file name - ") + PathOf(QStringLiteral("missing/out.txt"))},
        {longPath, 3, QStringLiteral("Invalid file name - ") + longPath},
        {PathOf(QStringLiteral("folder.txt")), 5, QStringLiteral("File access denied")},
    };
    for (const auto &c : cases) {
        for (const bool html : {false, true}) {
            try {
                if (html)
                    GridToHTML(c.path, SampleGrid(1), QString(), true);
                else
                    GridToDelimited(c.path, QLatin1Char(','), true, SampleGrid(1));
                ADD_FAILURE() << "no error for " << qPrintable(c.path);
            } catch (const EInOutError &e) {
                EXPECT_EQ(e.ErrorCode(), c.code) << qPrintable(c.path);
                EXPECT_EQ(e.Message(), c.message);
            }
        }
    }
    // The over-long name is refused before anything is made.
    EXPECT_FALSE(QFileInfo::exists(longPath));
}

TEST_F(ExportFile, APathOfExactly259CharactersIsAccepted)
{
    const QString path = FDir.path() + QLatin1Char('/') + QString(258 - FDir.path().size(), QLatin1Char('n'));
    ASSERT_EQ(path.size(), 259);
    GridToDelimited(path, QLatin1Char(','), false, SampleGrid(0));
    EXPECT_TRUE(QFileInfo::exists(path));
}

TEST_F(ExportFile, AReadOnlyFileIsDenied)
{
    const QString path = PathOf(QStringLiteral("ro.txt"));
    WriteFile(path, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    GiveToUnprivileged(FDir.path());
    EXPECT_EQ(AsUnprivileged([&]() -> std::string {
        try {
            GridToDelimited(path, QLatin1Char(','), false, SampleGrid(1));
        } catch (const EInOutError &e) {
            return e.Message() == QStringLiteral("File access denied") ? "" : e.Message().toStdString();
        }
        return "no error";
    }),
        "");
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
}

TEST_F(ExportFile, AFileHeldByAnotherWriterIsLeftAsItWas)
{
    const QString txt = PathOf(QStringLiteral("held.txt"));
    const QString xls = PathOf(QStringLiteral("held.xls"));
    for (const QString &path : {txt, xls}) {
        WriteFile(path, "theirs");
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        try {
            if (path == txt)
                GridToDelimited(path, QLatin1Char(','), false, SampleGrid(1));
            else
                GridToXLS(path, true, true, SampleGrid(1));
            ADD_FAILURE() << "no error";
        } catch (const EInOutError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("I/O error 32"));
        } catch (const EFOpenError &e) {
            EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(path)));
            EXPECT_EQ(path, xls);
        }
        ::close(fd);
        EXPECT_EQ(ReadAll(path), QByteArray("theirs"));
    }
}

TEST_F(ExportFile, AFullDiskEndsTheTextWritersWithAnError)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    for (const TWriter &w : Writers()) {
        try {
            w.toFile(QStringLiteral("/dev/full"), SampleGrid(1));
            ADD_FAILURE() << w.name << ": no error";
        } catch (const EInOutError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("I/O error 112")) << w.name;
        }
    }
}

// A device that fills up part-way, wherever that is: each writer reports it
// (never a short export taken for a whole one), and the bytes the device took
// are the start of the whole export.
TEST(ExportDevice, ADeviceThatFillsUpEndsEveryWriterWithAnError)
{
    const TGridTable grid = SampleGrid(4000);
    for (const TWriter &w : Writers()) {
        const QByteArray whole = Captured([&](QIODevice &d) {
            w.toDevice(d, QStringLiteral("x"), grid);
        });
        ASSERT_GT(whole.size(), TOutputSink::BufferSize + 1) << w.name;
        for (const qint64 limit : {qint64(0),
                 qint64(1),
                 qint64(TOutputSink::BufferSize),
                 qint64(TOutputSink::BufferSize + 1),
                 qint64(whole.size() - 1)}) {
            SCOPED_TRACE(std::string(w.name) + " after " + std::to_string(limit) + " bytes");
            TFailingDevice device(limit);
            try {
                w.toDevice(device, QStringLiteral("x"), grid);
                ADD_FAILURE() << "no error";
            } catch (const EInOutError &e) {
                EXPECT_EQ(e.ErrorCode(), 29);
            }
            EXPECT_TRUE(device.Written == whole.left(limit));
        }
    }
}

TEST(ExportDevice, ARefusingDeviceIsAnError)
{
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    for (const TWriter &w : Writers()) {
        try {
            w.toDevice(readOnly, QStringLiteral("x"), SampleGrid(1));
            ADD_FAILURE() << w.name << ": no error";
        } catch (const EInOutError &e) {
            EXPECT_EQ(e.ErrorCode(), 29) << w.name;
        }
    }
}

} // namespace
