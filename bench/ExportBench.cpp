#include "BenchData.h"
#include "export/uNativeXLSExport.h"
#include "export/uSGExports.h"
#include "listing/GridColumns.h"
#include "platform/Clipboard.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// The export writers on a big listing, to a real file, in bytes written per second.

namespace {

constexpr int kRows = 100000;

// The display table as the window shows it: folder path, size text, date text.
const TGridTable &Listing()
{
    static const TGridTable grid = [] {
        const std::vector<QString> names = GeneratedNames(kRows);
        const QString path = QStringLiteral("/home/user/Documents/Projects, 2024/");
        TGridTable g(FilesColumns());
        g.SetColumnVisible(fcPathHolder, false);
        g.SetRowCount(kRows);
        for (int r = 0; r < kRows; ++r) {
            const QString &name = names[size_t(r)];
            g.SetCells(fcPathHolder, r, path + name);
            g.SetCells(fcName, r, name);
            g.SetCells(fcPath, r, path);
            g.SetCells(fcSize, r, QStringLiteral("%1.%2 KB").arg(r % 977).arg(r % 10));
            g.SetCells(fcExtension, r, name.mid(name.lastIndexOf(QLatin1Char('.'))));
            g.SetCells(fcLastModified,
                r,
                QStringLiteral("9/%1/2024 10:%2:17 AM").arg(r % 28 + 1).arg(r % 60, 2, 10, QLatin1Char('0')));
        }
        return g;
    }();
    return grid;
}

template <typename Write> void ToFile(benchmark::State &state, const char *name, Write write)
{
    const TGridTable &grid = Listing();
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(name));
    for (auto _ : state)
        write(path, grid);
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(path).size());
}

void BM_TabSeparated(benchmark::State &state)
{
    ToFile(state, "list.txt", [](const QString &p, const TGridTable &g) {
        GridToDelimited(p, QLatin1Char('\t'), true, g);
    });
}

void BM_CommaSeparated(benchmark::State &state)
{
    ToFile(state, "list.csv", [](const QString &p, const TGridTable &g) {
        GridToDelimited(p, QLatin1Char(','), true, g);
    });
}

void BM_HTML(benchmark::State &state)
{
    ToFile(state, "list.html", [](const QString &p, const TGridTable &g) {
        GridToHTML(p, g, QStringLiteral("/home/user"), true);
    });
}

// The row bound of the format leaves 65 535 of the rows, which the writer
// reports once the file is written.
void BM_XLS(benchmark::State &state)
{
    ToFile(state, "list.xls", [](const QString &p, const TGridTable &g) {
        try {
            GridToXLS(p, true, true, g);
        } catch (const ESpreadsheetCut &) { }
    });
}

class TNullClipboard : public IClipboard
{
public:
    void SetText(const QString &text) override { FSize = text.size(); }
    QString Text() const override { return {}; }
    qsizetype FSize = 0;
};

// UTF-16 bytes handed to the clipboard.
void BM_Clipboard(benchmark::State &state)
{
    const TGridTable &grid = Listing();
    TNullClipboard clipboard;
    SetClipboard(&clipboard);
    for (auto _ : state)
        GridToClipboard(grid);
    SetClipboard(nullptr);
    state.SetBytesProcessed(int64_t(state.iterations()) * clipboard.FSize * 2);
}

} // namespace

BENCHMARK(BM_TabSeparated)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CommaSeparated)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HTML)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_XLS)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Clipboard)->Unit(benchmark::kMillisecond)->UseRealTime();
