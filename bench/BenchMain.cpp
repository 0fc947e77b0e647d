#include "platform/AnsiCodePage.h"
#include "platform/LocaleServices.h"

#include <QCoreApplication>
#include <QLocale>

#include <benchmark/benchmark.h>

// Every benchmark sees the same locale, whatever the machine's, so runs compare.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SetUserLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    SetAnsiCodePage(1252);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
