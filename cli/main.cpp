#include "cli/ArchiveCommand.h"
#include "cli/ClipboardServer.h"
#include "cli/CommandLine.h"
#include "cli/ListingCommand.h"
#include "cli/TerminalOutput.h"
#include "cli/TerminalText.h"
#include "platform/AnsiCodePage.h"
#include "platform/Clipboard.h"
#include "zip/CompressionHandlers.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

// A message may quote an archive's entry name or a path.
void PrintError(const QString &message)
{
    PrintToStderr(QStringLiteral("cartola-list: %1\n").arg(ErrorDisplayText(message)));
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

// Keeps what the listing puts on the clipboard, for the server to serve.
class TClipboardText : public IClipboard
{
public:
    void SetText(const QString &text) override { FText = text; }
    QString Text() const override { return FText; }

private:
    QString FText;
};

} // namespace

int main(int argc, char *argv[])
{
    // A write past the file-size limit is reported as the failed write it is.
    std::signal(SIGXFSZ, SIG_IGN);

    if (IsClipboardServer())
        return RunClipboardServer(argc, argv);

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

    const bool clipboard = options.Command == TCliCommand::ccListing && !options.Format->WritesFile();
    if (clipboard && !HasDisplay()) {
        PrintError(QStringLiteral("There is no display, so there is no clipboard"));
        return 1;
    }
    const auto app = std::make_unique<QCoreApplication>(argc, argv);
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
    // A terminal shows the listing in its own encoding, the locale's; JSON and
    // the archive commands write UTF-8.
    std::unique_ptr<TTerminalOutput> terminal;
    if (::isatty(STDOUT_FILENO)) {
        if (options.Command == TCliCommand::ccListing && options.OutputFile.isEmpty())
            options.Encoding = LocaleEncoding(LocaleNameFromEnvironment());
        terminal = std::make_unique<TTerminalOutput>(out,
            options.Command != TCliCommand::ccListing || options.Format->RowsWriter != nullptr
                || options.Encoding.IsUtf8());
    }
    QIODevice &shown = terminal ? static_cast<QIODevice &>(*terminal) : out;
    int status = 0;
    try {
        switch (options.Command) {
        case TCliCommand::ccListing: {
            TClipboardText text;
            if (clipboard)
                SetClipboard(&text);
            status = RunListing(options, shown);
            SetClipboard(nullptr);
            if (clipboard)
                HandToClipboardServer(text.Text());
            break;
        }
        case TCliCommand::ccZipListing:
            RunZipListing(options, shown);
            break;
        case TCliCommand::ccExtract:
            RunExtract(options, shown);
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
