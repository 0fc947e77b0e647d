#include "export/ExportErrors.h"

#include <QString>

namespace {

// 80000 -> "80 000"
QString Grouped(size_t value)
{
    QString digits = QString::number(qulonglong(value));
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return digits;
}

} // namespace

ESpreadsheetCut::ESpreadsheetCut(size_t written, size_t total)
    : EError(
        QStringLiteral("The spreadsheet holds the first %1 of %2 rows").arg(Grouped(written), Grouped(total)))
{ }
