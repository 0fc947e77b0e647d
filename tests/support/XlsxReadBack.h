// Reads a workbook back as openpyxl sees it, through tests/support/read-xlsx.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

// The sheet names, the first sheet's frozen cell, filter, widths, header
// boldness and rows of cells {"v": value, "t": n, d or s, "f": number format};
// an empty object, and a failure, when the workbook cannot be read.
inline QJsonObject ReadXlsx(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral(CARTOLA_PYTHON3), {QStringLiteral(CARTOLA_READ_XLSX), path});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "read-xlsx " << path.toStdString() << ": " << p.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// One part of the workbook's package, as its bytes.
inline QByteArray ReadXlsxPart(const QString &path, const QString &part)
{
    QProcess p;
    p.start(QStringLiteral(CARTOLA_PYTHON3),
        {QStringLiteral("-c"),
            QStringLiteral("import sys, zipfile; "
                           "sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))"),
            path,
            part});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        ADD_FAILURE() << "reading " << part.toStdString() << ": " << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}
