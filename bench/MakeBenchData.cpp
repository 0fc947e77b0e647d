#include "BenchData.h"

#include <QCoreApplication>

#include <cstdio>

// Makes every generated data set once, so the timed runs that follow never
// pay for it: `make-bench-data` prints the data folder.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // `make-bench-data tree` makes the tree alone, for timing that scenario by itself.
    GeneratedTree();
    if (argc > 1 && QByteArray(argv[1]) == "tree") {
        std::printf("%s\n", qPrintable(BenchDataDir()));
        return 0;
    }
    GeneratedFolder(100000);
    GeneratedFolder(1000000);
    GeneratedFolder(10000);
    GeneratedNamesFile(100000);
    GeneratedManyEntriesArchive();
    GeneratedBigArchive();
    std::printf("%s\n", qPrintable(BenchDataDir()));
    return 0;
}
