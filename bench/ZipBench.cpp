#include "BenchData.h"
#include "tools/ZipBuilder.h"
#include "zip/ZipFile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// The ZIP reader: the directory of the largest archive the format counts, and
// the extraction of one big entry, deflated and stored.

namespace {

QString ManyEntries()
{
    return GeneratedManyEntriesArchive();
}

QString BigArchive()
{
    return GeneratedBigArchive();
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
    state.SetItemsProcessed(state.iterations() * kManyEntries);
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
    state.SetItemsProcessed(state.iterations() * kManyEntries);
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
    state.SetBytesProcessed(state.iterations() * int64_t(kBigEntrySize));
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
    const QByteArray data = WordText(kBigEntrySize);
    const QByteArray packed = ZipBuilder::RawDeflate(data);
    QByteArray out(kBigEntrySize, Qt::Uninitialized);
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
    state.SetBytesProcessed(state.iterations() * int64_t(kBigEntrySize));
}
BENCHMARK(BM_RawInflateInMemory)->Unit(benchmark::kMillisecond);

} // namespace
