// The general number format of floating-point values.
#pragma once

#include <QChar>
#include <QString>

#include <optional>

// The general number format: at most 15 significant digits, trailing zeros
// dropped, no decimal separator for whole values, no digit grouping. Fixed
// notation unless the magnitude is below 0.00001 (zero excepted) or has more
// than 15 integer digits; then an exponent follows "E".
QString FloatToStrGeneral(double value, QChar decimalSeparator);

// A decimal number with optional sign, optional exponent and blanks around
// it, written with the given decimal separator. Nothing else is accepted.
std::optional<double> TryStrToFloat(const QString &text, QChar decimalSeparator);
