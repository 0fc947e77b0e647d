#include "cli/CommandLine.h"

#include <QCommandLineParser>

#include <algorithm>
#include <utility>

namespace {

// The sort names and the listing headers they choose.
const std::pair<const char *, const char *> kSorts[] = {
    {"name", "Name"},
    {"path", "Path"},
    {"size", "Size"},
    {"extension", "Extension"},
    {"modified", "Last modified"},
};

struct TParser
{
    QCommandLineParser Parser;
    QCommandLineOption Help{
        {QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")};
    QCommandLineOption Version{QStringLiteral("version"), QStringLiteral("Show the version and exit.")};
    QCommandLineOption Format{QStringLiteral("format"),
        QStringLiteral("Writer of the listing: text, html, csv, tsv, xls, clipboard, json, jsonl or xlsx "
                       "(default html). text and tsv both write tab-separated lines; clipboard puts every "
                       "column, the full path first, on the desktop's clipboard as tab-separated text; a "
                       "background process keeps it "
                       "there after the command returns, until another program takes the clipboard. "
                       "json writes one UTF-8 array of objects, jsonl one object per line, each with name, "
                       "path, extension, type (\"file\" or \"folder\"), size (bytes; null for a folder), "
                       "modified (ISO 8601 with the local offset), sizeText and modifiedText; a name or path "
                       "that is not valid UTF-8 shows U+FFFD for its bad bytes and adds nameBytes or "
                       "pathBytes, its exact bytes in base64. xlsx writes a workbook of one sheet named "
                       "after FOLDER: a bold, frozen header row with filters, then Name, Path, Size (bytes, "
                       "a number; a folder's total with --folder-sizes), Extension and Last modified (a date "
                       "and time, local); every script as "
                       "it is. It holds 1 048 576 rows with the header: the first ones are written, and "
                       "the command then fails with a message."),
        QStringLiteral("FORMAT"),
        QStringLiteral("html")};
    QCommandLineOption Output{{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral(
            "Write the listing to FILE, replacing it (default: standard output; required for "
            "xls and xlsx, not taken by clipboard). Written to standard output, the HTML page's title "
            "is the name of the listed folder."),
        QStringLiteral("FILE")};
    QCommandLineOption Encoding{QStringLiteral("encoding"),
        QStringLiteral("The bytes of the text, tsv, csv, html and xls listings: ansi (default) is the code "
                       "page of the user's locale (LC_ALL, else LC_CTYPE, else LANG), as Windows chooses "
                       "it: windows-1251 for Russian, 932 for Japanese, windows-1252 for Western languages "
                       "and C; windows-NNNN or cpNNN names one (874, 932, 936, 949, 950, 1250 to 1258); "
                       "utf-8 and utf-8-bom keep every character (not for xls). A character the code page "
                       "lacks is written as its look-alike, else \"?\". The HTML page declares its charset. "
                       "json, jsonl and clipboard are always Unicode. On a terminal the listing is shown in "
                       "the terminal's encoding instead."),
        QStringLiteral("NAME"),
        QStringLiteral("ansi")};
    QCommandLineOption Mask{QStringLiteral("mask"),
        QStringLiteral("List only files whose extension occurs in MASK, with case, e.g. "
                       "\"*.jpg;*.png\" (default \"*.*\": every file). A mask shorter "
                       "than three characters stands for \"*.*\"."),
        QStringLiteral("MASK"),
        QStringLiteral("*.*")};
    QCommandLineOption Sort{QStringLiteral("sort"),
        QStringLiteral("Sort by name, path, size, extension or modified (default name). "
                       "Folders always come before files. Over a tree, path orders by the folder's path, "
                       "then by name. none keeps the order the folders are read in, which may differ from "
                       "run to run; text, tsv, csv, json and jsonl are then written while the folders are "
                       "read, for a pipe (html and xls still wait for the whole listing)."),
        QStringLiteral("COLUMN"),
        QStringLiteral("name")};
    QCommandLineOption Folders{QStringLiteral("folders"), QStringLiteral("List the subfolders too.")};
    QCommandLineOption NoFiles{QStringLiteral("no-files"), QStringLiteral("Leave the files out.")};
    QCommandLineOption All{{QStringLiteral("a"), QStringLiteral("all")},
        QStringLiteral("List and enter names that begin with \".\" too; without it they are left out.")};
    QCommandLineOption Extensions{
        QStringLiteral("extensions"), QStringLiteral("Show file names with their extensions.")};
    QCommandLineOption NoHeaders{QStringLiteral("no-headers"),
        QStringLiteral("Leave out the header row (of the archive listing too).")};
    QCommandLineOption NoGridLines{
        QStringLiteral("no-grid-lines"), QStringLiteral("Leave out the cell borders of the xls listing.")};
    QCommandLineOption Count{
        QStringLiteral("count"), QStringLiteral("Also print \"Folders: N  Files: M\" on standard error.")};
    QCommandLineOption Recursive{{QStringLiteral("r"), QStringLiteral("recursive")},
        QStringLiteral("List FOLDER and every folder below it as one table, sorted as a whole; the "
                       "Path column tells where each row lives. Links to folders are listed, not "
                       "entered. A folder below FOLDER that cannot be read, or whose files fail a path "
                       "check, is reported as \"cartola-list: PATH: message\" on standard error and "
                       "left out with everything below it (none of its rows are kept; its own row in "
                       "its parent stays); the rest is listed and the exit status is 1.")};
    QCommandLineOption MaxDepth{QStringLiteral("max-depth"),
        QStringLiteral("With --recursive, list N levels: 1 is FOLDER alone, 2 adds its subfolders' "
                       "contents, and so on. Implies --recursive."),
        QStringLiteral("N")};
    QCommandLineOption OneFileSystem{{QStringLiteral("x"), QStringLiteral("one-file-system")},
        QStringLiteral("With --recursive, do not enter folders on another file system than FOLDER's "
                       "(they are still listed).")};
    QCommandLineOption FolderSizes{QStringLiteral("folder-sizes"),
        QStringLiteral(
            "Each folder row's Size is the total size of the regular files below it, at any "
            "depth, hidden ones included, a file with several names counted once. Folders left "
            "out by an error or below --max-depth still count in the totals above them; a link "
            "to a folder, or a folder not read, has none. json gives the total in size with "
            "\"sizeIsTotal\": true. With --sort size folders sort by their totals, and "
            "--reverse keeps folders before files: --sort size --reverse --limit 20 --folders gives "
            "the 20 biggest folders.")};
    QCommandLineOption Limit{QStringLiteral("limit"),
        QStringLiteral("Only the first N rows after sorting (and reversing)."),
        QStringLiteral("N")};
    QCommandLineOption Reverse{QStringLiteral("reverse"),
        QStringLiteral("Reverse the order of the rows: with --sort size, the largest first.")};
    QCommandLineOption Zip{QStringLiteral("zip"),
        QStringLiteral("Instead of a folder, list the entries of the ZIP archive ARCHIVE: "
                       "\"Files: N\" with the archive comment, then a header row and one "
                       "tab-separated row per entry (File path, Compressed size, "
                       "Uncompressed size, Last modified, Method, File comment). In names and "
                       "comments a TAB, CR, LF and backslash are written as \\t, \\r, \\n and \\\\."),
        QStringLiteral("ARCHIVE")};
    QCommandLineOption Extract{QStringLiteral("extract"),
        QStringLiteral("With --zip and --to: extract entry INDEX (0 is the first row of "
                       "the archive listing) below FOLDER under its stored path, and "
                       "print the path written. Entries that would land outside "
                       "FOLDER are refused."),
        QStringLiteral("INDEX")};
    QCommandLineOption To{QStringLiteral("to"),
        QStringLiteral("The folder --extract writes into; created when missing."),
        QStringLiteral("FOLDER")};

    TParser()
    {
        Parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        Parser.setApplicationDescription(QStringLiteral(
            "Lists the subfolders and files of FOLDER (Name, Path, Size, Extension, Last modified) in the "
            "format and order chosen, as the Cartola window's Save writes them: text files in "
            "the code page of the user's locale (see --encoding) with CR LF line ends. Numbers, dates "
            "and the sort order follow the user's locale.\n\n"
            "Exit status: 0 on success, 1 when the work failed (an unreadable folder or archive, a file "
            "that cannot be written, a folder below FOLDER left out of a --recursive listing), 2 for a wrong "
            "command line or a FOLDER or ARCHIVE that does not "
            "exist; then nothing is written."));
        for (const QCommandLineOption *option : {&Format,
                 &Output,
                 &Encoding,
                 &Mask,
                 &Sort,
                 &Folders,
                 &NoFiles,
                 &All,
                 &Extensions,
                 &NoHeaders,
                 &NoGridLines,
                 &Count,
                 &Recursive,
                 &MaxDepth,
                 &OneFileSystem,
                 &FolderSizes,
                 &Limit,
                 &Reverse,
                 &Zip,
                 &Extract,
                 &To,
                 &Help,
                 &Version})
            Add(*option);
        Parser.addPositionalArgument(QStringLiteral("FOLDER"),
            QStringLiteral("The folder to list; several are listed as one table, the Path column "
                           "telling where each row lives."),
            QStringLiteral("FOLDER... | --zip ARCHIVE [--extract INDEX --to FOLDER]"));
    }

    void Add(const QCommandLineOption &option)
    {
        Parser.addOption(option);
        for (const QString &name : option.names())
            (option.valueName().isEmpty() ? FFlags : FWithValue).append(name);
    }

    // Joined short options ("-rx", "-ro FILE", "-rofile") as separate ones,
    // the way getopt reads them; a word that names an option itself stays.
    QStringList Expanded(const QStringList &arguments) const
    {
        QStringList out;
        bool value = false;
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            const QString &arg = arguments[i];
            if (value || arg == QLatin1String("--") || !arg.startsWith(QLatin1Char('-'))
                || arg.startsWith(QLatin1String("--")) || arg.size() < 3) {
                const QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
                value = !value && arg.startsWith(QLatin1Char('-')) && FWithValue.contains(name);
                out.append(arg);
                if (arg == QLatin1String("--")) {
                    out.append(arguments.mid(i + 1));
                    break;
                }
                continue;
            }
            const QString word = arg.mid(1);
            if (FFlags.contains(word) || FWithValue.contains(word) || word.contains(QLatin1Char('='))
                || !Joinable(word)) {
                value = FWithValue.contains(word);
                out.append(arg);
                continue;
            }
            for (qsizetype k = 0; k < word.size(); ++k) {
                const QString letter = word.mid(k, 1);
                out.append(QLatin1Char('-') + letter);
                if (FWithValue.contains(letter)) {
                    if (k + 1 < word.size())
                        out.append(word.mid(k + 1));
                    else
                        value = true;
                    break;
                }
            }
        }
        return out;
    }

private:
    // Short flags, the last of them perhaps one that takes the rest as its value.
    bool Joinable(const QString &word) const
    {
        for (const QChar c : word) {
            const QString letter(c);
            if (FWithValue.contains(letter))
                return true;
            if (!FFlags.contains(letter))
                return false;
        }
        return true;
    }

    QStringList FFlags;
    QStringList FWithValue;
};

[[noreturn]] void Usage(const QString &message)
{
    throw EUsageError(message);
}

TTextEncoding EncodingNamed(const QString &name)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("ansi"))
        return AnsiEncoding();
    if (lower == QLatin1String("utf-8") || lower == QLatin1String("utf8"))
        return TTextEncoding::Utf8();
    if (lower == QLatin1String("utf-8-bom"))
        return TTextEncoding::Utf8(true);
    if (const int codePage = TTextEncoding::CodePageOfName(lower))
        return TTextEncoding::CodePage(codePage);
    Usage(QStringLiteral("Unknown encoding '%1'; use ansi, utf-8, utf-8-bom, windows-NNNN or cpNNN "
                         "(874, 932, 936, 949, 950, 1250 to 1258).")
              .arg(name));
}

qint64 PositiveNumber(const QString &text, const char *option)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 1 || text.trimmed() != text)
        Usage(QStringLiteral("%1 takes a whole number of at least 1, not '%2'.")
                  .arg(QLatin1String(option), text));
    return value;
}

} // namespace

TCliOptions ParseCommandLine(const QStringList &arguments)
{
    TParser p;
    QStringList all = p.Expanded(arguments);
    all.prepend(QStringLiteral("cartola-list"));
    if (!p.Parser.parse(all))
        Usage(p.Parser.errorText());

    TCliOptions o;
    if (p.Parser.isSet(p.Help)) {
        o.Command = TCliCommand::ccHelp;
        return o;
    }
    if (p.Parser.isSet(p.Version)) {
        o.Command = TCliCommand::ccVersion;
        return o;
    }

    const QString format = p.Parser.value(p.Format);
    o.Format = FindExportFormat(format);
    if (!o.Format)
        Usage(QStringLiteral(
            "Unknown format '%1'; use text, html, csv, tsv, xls, clipboard, json, jsonl or xlsx.")
                  .arg(format));

    o.Encoding = EncodingNamed(p.Parser.value(p.Encoding));
    if (o.Format == FindExportFormat(QStringLiteral("xls")) && o.Encoding.IsUtf8())
        Usage(QStringLiteral("The xls format takes a Windows code page, not UTF-8: no common reader "
                             "honours a UTF-8 spreadsheet of this kind."));

    const QString sort = p.Parser.value(p.Sort);
    bool known = sort == QLatin1String("none");
    o.Unsorted = known;
    for (const auto &[name, header] : kSorts) {
        if (sort == QLatin1String(name)) {
            o.SortHeader = QLatin1String(header);
            known = true;
        }
    }
    if (!known)
        Usage(QStringLiteral("Unknown sort '%1'; use name, path, size, extension, modified or none.")
                  .arg(sort));

    o.OutputFile = p.Parser.value(p.Output);
    if (p.Parser.isSet(p.Output) && o.OutputFile.isEmpty())
        Usage(QStringLiteral("The output file name is empty."));
    o.Mask = p.Parser.value(p.Mask);
    o.ShowFolders = p.Parser.isSet(p.Folders);
    o.ShowFiles = !p.Parser.isSet(p.NoFiles);
    o.ShowExtensions = p.Parser.isSet(p.Extensions);
    o.ShowHidden = p.Parser.isSet(p.All);
    o.Headers = !p.Parser.isSet(p.NoHeaders);
    o.GridLines = !p.Parser.isSet(p.NoGridLines);
    o.Count = p.Parser.isSet(p.Count);
    o.Recursive = p.Parser.isSet(p.Recursive) || p.Parser.isSet(p.MaxDepth);
    o.OneFileSystem = p.Parser.isSet(p.OneFileSystem);
    o.FolderSizes = p.Parser.isSet(p.FolderSizes);
    o.Reverse = p.Parser.isSet(p.Reverse);
    if (p.Parser.isSet(p.MaxDepth)) {
        const qint64 depth = PositiveNumber(p.Parser.value(p.MaxDepth), "--max-depth");
        o.MaxDepth = int(std::min<qint64>(depth, 1 << 20));
    }
    if (p.Parser.isSet(p.Limit))
        o.Limit = PositiveNumber(p.Parser.value(p.Limit), "--limit");

    const QStringList positional = p.Parser.positionalArguments();
    if (p.Parser.isSet(p.Zip)) {
        o.Archive = p.Parser.value(p.Zip);
        if (!positional.isEmpty())
            Usage(QStringLiteral("Give either FOLDER or --zip ARCHIVE, not both."));
        if (o.Archive.isEmpty())
            Usage(QStringLiteral("The archive name is empty."));
        o.Command = TCliCommand::ccZipListing;
        if (p.Parser.isSet(p.Extract) || p.Parser.isSet(p.To)) {
            if (!p.Parser.isSet(p.Extract) || !p.Parser.isSet(p.To))
                Usage(QStringLiteral("--extract and --to go together."));
            bool ok = false;
            const QString index = p.Parser.value(p.Extract);
            o.ExtractIndex = index.toInt(&ok);
            if (!ok || o.ExtractIndex < 0 || index.trimmed() != index)
                Usage(QStringLiteral("'%1' is not a valid entry index.").arg(index));
            o.ExtractFolder = p.Parser.value(p.To);
            if (o.ExtractFolder.isEmpty())
                Usage(QStringLiteral("The folder of --to is empty."));
            o.Command = TCliCommand::ccExtract;
        }
        return o;
    }
    if (p.Parser.isSet(p.Extract) || p.Parser.isSet(p.To))
        Usage(QStringLiteral("--extract and --to need --zip ARCHIVE."));
    if (positional.isEmpty())
        Usage(QStringLiteral("No FOLDER given."));
    for (const QString &folder : positional)
        if (folder.isEmpty())
            Usage(QStringLiteral("The folder name is empty."));
    o.Folders = positional;
    o.Folder = positional.first();
    if (o.Format == FindExportFormat(QStringLiteral("xls")) && o.OutputFile.isEmpty())
        Usage(QStringLiteral("The xls format needs -o FILE."));
    if (o.Format == FindExportFormat(QStringLiteral("xlsx")) && o.OutputFile.isEmpty())
        Usage(QStringLiteral("The xlsx format needs -o FILE."));
    if (!o.Format->WritesFile() && !o.OutputFile.isEmpty())
        Usage(QStringLiteral("The clipboard format writes no file; leave out -o."));
    return o;
}

QString HelpText()
{
    TParser p;
    QString text = p.Parser.helpText();
    // The toolkit names the program by the path it was started with.
    const qsizetype options = text.indexOf(QStringLiteral(" [options]"));
    if (text.startsWith(QStringLiteral("Usage: ")) && options > 0)
        text.replace(7, options - 7, QStringLiteral("cartola-list"));
    return text;
}

QString VersionText()
{
    return QStringLiteral("cartola-list ") + QStringLiteral(CARTOLA_VERSION);
}
