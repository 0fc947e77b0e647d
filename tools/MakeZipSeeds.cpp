// Writes a small corpus of archives, good and damaged, as fuzzing seeds.

#include "tools/ZipBuilder.h"

#include <QDir>
#include <QString>

#include <cstdio>
#include <functional>

using ZipBuilder::TArchive;

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    const std::pair<const char *, std::function<TArchive()>> seeds[] = {
        {"empty",
            [] {
                return TArchive();
            }},
        {"commented",
            [] {
                TArchive a;
                a.Comment = "an archive comment \x81";
                return a;
            }},
        {"stored-and-deflated",
            [] {
                TArchive a;
                a.Add("docs/", {});
                a.Add("docs/readme.txt", "hello, hello, hello, world", 8).Comment = "entry comment";
                a.Add("stored.bin", "plain bytes");
                a.Add("empty.txt", {});
                return a;
            }},
        {"descriptor",
            [] {
                TArchive a;
                a.Add("deflated.txt", QByteArray(3000, 'd'), 8).Flag = 1u << 3;
                a.Add("stored.txt", "stored with descriptor").Flag = 1u << 3;
                return a;
            }},
        {"utf8-names",
            [] {
                TArchive a;
                a.Add("\xC3\xBC/\xE2\x82\xAC.txt", "utf8").Flag = 1u << 11;
                a.Add("\x81.txt", "cp437");
                return a;
            }},
        {"unknown-method",
            [] {
                TArchive a;
                a.Add("packed.bz2", "BZh9", 12);
                return a;
            }},
        {"climbing-names",
            [] {
                TArchive a;
                a.Add("../evil", "x");
                a.Add("a/../../evil", "x");
                a.Add("/tmp/evil", "x");
                return a;
            }},
        {"overlapping",
            [] {
                TArchive a;
                a.Add("0.txt", QByteArray(20000, 'z'), 8);
                for (int i = 1; i < 8; ++i)
                    a.Add(QByteArray::number(i) + ".txt", QByteArray(20000, 'z'), 8).LocalHeaderOffset = 0;
                return a;
            }},
        {"lying-sizes",
            [] {
                TArchive a;
                a.Add("short.txt", QByteArray(5000, 's'), 8).UncompressedSize = 100;
                a.Add("long.txt", "abc").UncompressedSize = 100000;
                return a;
            }},
        {"prefixed",
            [] {
                TArchive a;
                a.Prefix = QByteArray(300, 'p');
                a.Add("after-prefix.txt", "data", 8);
                return a;
            }},
    };
    for (const auto &[name, make] : seeds)
        if (!ZipBuilder::WriteBytes(
                folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".zip"), make().Build()))
            return 1;
    return 0;
}
