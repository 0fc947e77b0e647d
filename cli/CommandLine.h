// cartola-list's command line: options, parsing, help and version texts.
#pragma once

#include "export/ExportFormat.h"
#include "platform/Errors.h"

#include <QString>
#include <QStringList>

// What the command line asks for.
enum class TCliCommand { ccListing, ccZipListing, ccExtract, ccHelp, ccVersion };

struct TCliOptions
{
    TCliCommand Command = TCliCommand::ccListing;
    QString Folder; // the first of Folders
    QStringList Folders;
    const TExportFormat *Format = FindExportFormat(QStringLiteral("html"));
    QString OutputFile; // empty: standard output
    QString Mask = QStringLiteral("*.*");
    QString SortHeader = QStringLiteral("Name"); // the header of the sort column
    bool Unsorted = false; // --sort none: the order the walk finds the rows in
    bool ShowFolders = false;
    bool ShowFiles = true;
    bool ShowExtensions = false;
    bool ShowHidden = false;
    bool Headers = true;
    bool GridLines = true;
    // The bytes of text, tsv, csv, html and xls; a terminal gets its own instead.
    TTextEncoding Encoding = AnsiEncoding();
    bool Count = false;
    bool Recursive = false;
    int MaxDepth = 0; // 0: no limit
    bool OneFileSystem = false;
    bool FolderSizes = false;
    qint64 Limit = -1; // -1: every row
    bool Reverse = false;
    QString Archive;
    int ExtractIndex = -1;
    QString ExtractFolder;
};

// A command line that cannot be carried out as written.
class EUsageError : public EError
{
public:
    using EError::EError;
};

// Reads the arguments after the program name; raises EUsageError.
TCliOptions ParseCommandLine(const QStringList &arguments);

QString HelpText();
QString VersionText();
