// Grids and byte helpers for the export writers' tests.
#pragma once

#include "listing/GridTable.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// A grid with the given headers, the columns listed in hidden switched off,
// and rows of cells.
inline TGridTable MakeGrid(
    const QStringList &headers, const std::vector<QStringList> &rows, const std::vector<int> &hidden = {})
{
    std::vector<TGridColumn> columns;
    for (const QString &h : headers)
        columns.push_back(TGridColumn{h, h, true, 64, true});
    TGridTable grid(columns);
    for (const int c : hidden)
        grid.SetColumnVisible(c, false);
    grid.SetRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < int(rows[size_t(r)].size()); ++c)
            grid.SetCells(c, r, rows[size_t(r)][c]);
    return grid;
}

// "09 08 0A" -> the bytes.
inline QByteArray Hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QByteArray Crlf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines)
        out += l.toLatin1() + "\r\n";
    return out;
}

// What a writer puts on a device.
inline QByteArray Captured(const std::function<void(QIODevice &)> &write)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    write(buffer);
    return buffer.data();
}
