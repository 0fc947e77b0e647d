// The small interface every export writer reads a table through.
#pragma once

#include <QString>

struct TGridColumn
{
    QString Name; // the column's name in the window, e.g. scName
    QString Header; // shown in the header row; the sort's key too
    bool Visible = true;
    int Width = 64;
    bool ReadOnly = true;
};

// Rows of text cells under columns with a header and a visibility: the Grid
// table is one, a part of a tree listing whose texts were made apart is another.
class ITableCells
{
public:
    virtual ~ITableCells() = default;
    virtual int RowCount() const = 0;
    virtual int ColumnCount() const = 0;
    virtual const TGridColumn &Columns(int i) const = 0;
    virtual QString Cells(int col, int row) const = 0;
};
