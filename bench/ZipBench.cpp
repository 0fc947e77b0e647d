#include "BenchData.h"
#include "ZipBuilder.h"
#include "zip/ZipFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

// The ZIP reader: the directory of the largest archive the format counts, and
// the extraction of one big entry, deflated and stored.

namespace {

constexpr int kEntries = 65535;
constexpr int kBigEntry = 64 << 20;

// Text-like bytes that deflate about as well as source code does.
QByteArray BigData()
{
    QByteArray out(kBigEntry, Qt::Uninitialized);
    uint32_t x = 1;
    const char words[] = "the quick brown fox jumps over a lazy dog; int main() { return 0; }\n";
    for (int i = 0; i < kBigEntry; ++i) {
        if (i % 16 == 0)
            x = x * 1664525u + 1013904223u;
        out[i] = words[(x >> 24) % (sizeof words - 1)];
        x += 7;
    }
    return out;
}

// Made once in the data folder; a marker written last guards against a cut-short run.
QString Archive(const QString &name, const std::function<ZipBuilder::TArchive()> &make)
{
    const QString path = BenchDataDir() + QLatin1Char('/') + name;
    const QString marker = path + QStringLiteral(".complete");
    if (QFile::exists(marker))
        return path;
    QDir().mkpath(BenchDataDir());
    if (!ZipBuilder::WriteBytes(path, make().Build()) || !ZipBuilder::WriteBytes(marker, {})) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    return path;
}

QString ManyEntries()
{
    return Archive(QStringLiteral("zip-65535.zip"), [] {
        ZipBuilder::TArchive a;
        const std::vector<QString> names = GeneratedNames(kEntries, 3);
        for (int i = 0; i < kEntries; ++i)
            a.Add("folder/" + QByteArray::number(i) + "-" + names[size_t(i)].toUtf8(), {}).Flag = 1u << 11;
        return a;
    });
}

QString BigArchive()
{
    return Archive(QStringLiteral("zip-big.zip"), [] {
        ZipBuilder::TArchive a;
        const QByteArray data = BigData();
        a.Add("deflated.txt", data, 8);
        a.Add("stored.txt", data, 0);
        return a;
    });
}

void BM_ZipIsValid(benchmark::State &state)
{
    const QString path = ManyEntries();
    for (auto _ : state)
        benchmark::DoNotOptimize(TZipFile::IsValid(path));
}
BENCHMARK(BM_ZipIsValid)->Unit(benchmark::kMicrosecond);

void BM_ZipOpenDirectory(benchmark::State &state)
{
    const QString path = ManyEntries();
    TZipFile zip;
    for (auto _ : state) {
        zip.Open(path, zmRead);
        benchmark::DoNotOptimize(zip.FileCount());
        zip.Close();
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ZipOpenDirectory)->Unit(benchmark::kMillisecond);

// What the preview does: open, then every name, size and method as text.
void BM_ZipListAll(benchmark::State &state)
{
    const QString path = ManyEntries();
    TZipFile zip;
    for (auto _ : state) {
        zip.Open(path, zmRead);
        for (int i = 0; i < zip.FileCount(); ++i) {
            benchmark::DoNotOptimize(zip.FileName(i));
            benchmark::DoNotOptimize(CompressionMethodName(zip.FileInfo(i).CompressionMethod));
        }
        zip.Close();
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ZipListAll)->Unit(benchmark::kMillisecond);

void Extract(benchmark::State &state, int index)
{
    const QString path = BigArchive();
    QTemporaryDir out;
    TZipFile zip;
    zip.Open(path, zmRead);
    for (auto _ : state)
        zip.Extract(index, out.path());
    state.SetBytesProcessed(state.iterations() * int64_t(kBigEntry));
}

void BM_ZipExtractDeflated(benchmark::State &state)
{
    Extract(state, 0);
}
BENCHMARK(BM_ZipExtractDeflated)->Unit(benchmark::kMillisecond);

void BM_ZipExtractStored(benchmark::State &state)
{
    Extract(state, 1);
}
BENCHMARK(BM_ZipExtractStored)->Unit(benchmark::kMillisecond);

// zlib alone, in memory: the floor that deflated extraction can approach.
void BM_RawInflateInMemory(benchmark::State &state)
{
    const QByteArray data = BigData();
    const QByteArray packed = ZipBuilder::RawDeflate(data);
    QByteArray out(kBigEntry, Qt::Uninitialized);
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
        z.avail_in = uInt(packed.size());
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        inflate(&z, Z_FINISH);
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kBigEntry));
}
BENCHMARK(BM_RawInflateInMemory)->Unit(benchmark::kMillisecond);

} // namespace
