#include "cli/ArchiveCommand.h"
#include "cli/CommandLine.h"
#include "cli/ListingCommand.h"
#include "zip/CompressionHandlers.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

void PrintError(const QString &message)
{
    const QByteArray text = QStringLiteral("cartola-list: %1\n").arg(ErrorDisplayText(message)).toLocal8Bit();
    std::fputs(text.constData(), stderr);
}

void PrintOut(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

// The clipboard belongs to the desktop; without one the toolkit would abort.
bool HasDisplay()
{
    for (const char *name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    TCliOptions options;
    try {
        options = ParseCommandLine(arguments);
    } catch (const EUsageError &e) {
        PrintError(e.Message());
        std::fputs("Try 'cartola-list --help' for more information.\n", stderr);
        return 2;
    }

    std::unique_ptr<QCoreApplication> app;
    const bool clipboard =
        options.Command == TCliCommand::ccListing && !options.Format->WritesFile();
    if (clipboard && !HasDisplay()) {
        PrintError(QStringLiteral("There is no display, so there is no clipboard"));
        return 1;
    }
    if (clipboard)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cartola-list"));

    switch (options.Command) {
    case TCliCommand::ccHelp:
        PrintOut(HelpText());
        return 0;
    case TCliCommand::ccVersion:
        PrintOut(VersionText() + QLatin1Char('\n'));
        return 0;
    default:
        break;
    }

    RegisterStandardCompressionHandlers();
    // The writers buffer on their own; a second buffer would only copy.
    QFile out;
    if (!out.open(
            STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        PrintError(out.errorString());
        return 1;
    }
    int status = 0;
    try {
        switch (options.Command) {
        case TCliCommand::ccListing:
            status = RunListing(options, out);
            break;
        case TCliCommand::ccZipListing:
            RunZipListing(options, out);
            break;
        case TCliCommand::ccExtract:
            RunExtract(options, out);
            break;
        default:
            break;
        }
    } catch (const EUsageError &e) {
        PrintError(e.Message());
        return 2;
    } catch (const EError &e) {
        PrintError(e.Message());
        return 1;
    } catch (const std::exception &e) {
        PrintError(QString::fromLocal8Bit(e.what()));
        return 1;
    }
    return status;
}
