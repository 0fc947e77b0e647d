// The delimited text, clipboard and HTML writers.
#pragma once

#include "listing/GridTable.h"
#include "platform/AnsiCodePage.h"

#include <QChar>
#include <QString>

class QIODevice;

// Names come from anyone, and a spreadsheet that opens or pastes the text
// takes a cell beginning with = + - @ TAB or CR for a formula: such a cell
// gets an apostrophe first, which keeps it text.
QString KeptAsText(const QString &text);

// Tab- or comma-separated text: a line per row, each visible column's text
// followed by the delimiter (the last one too). A header line first when
// headers is set. Failures raise EInOutError.
void GridToDelimited(const QString &fileName,
    QChar delimiter,
    bool headers,
    const ITableCells &grid,
    const TTextEncoding &encoding = AnsiEncoding());
void GridToDelimited(QIODevice &device,
    QChar delimiter,
    bool headers,
    const ITableCells &grid,
    const TTextEncoding &encoding = AnsiEncoding());

// Every column, hidden ones included, TAB between cells and CR between rows,
// as the whole content of the clipboard.
void GridToClipboard(const ITableCells &grid);

// A small HTML page of the visible columns; fileName gives the page title.
// The page declares the charset it is written in.
void GridToHTML(const QString &fileName,
    const ITableCells &grid,
    const QString &heading,
    bool headers,
    const TTextEncoding &encoding = AnsiEncoding());
void GridToHTML(QIODevice &device,
    const QString &fileName,
    const ITableCells &grid,
    const QString &heading,
    bool headers,
    const TTextEncoding &encoding = AnsiEncoding());
