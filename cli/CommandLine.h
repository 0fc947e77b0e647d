#pragma once

#include "platform/Errors.h"

#include <QString>
#include <QStringList>

// What the command line asks for.
enum class TCliCommand { ccListing, ccZipListing, ccExtract, ccHelp, ccVersion };

// The listing's writers, by their names on the command line.
enum class TCliFormat { cfText, cfHTML, cfCSV, cfTSV, cfXLS, cfClipboard, cfJSON, cfJSONL };

struct TCliOptions
{
    TCliCommand Command = TCliCommand::ccListing;
    QString Folder;
    TCliFormat Format = TCliFormat::cfHTML;
    QString OutputFile; // empty: standard output
    QString Mask = QStringLiteral("*.*");
    QString SortHeader = QStringLiteral("Name"); // the header of the sort column
    bool ShowFolders = false;
    bool ShowFiles = true;
    bool ShowExtensions = false;
    bool Headers = true;
    bool GridLines = true;
    bool Count = false;
    bool Recursive = false;
    int MaxDepth = 0; // 0: no limit
    bool OneFileSystem = false;
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
