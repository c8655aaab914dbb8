#pragma once

#include <QColor>
#include <QString>
#include <QtGlobal>

// Number conversions with the semantics the game's rules are written in:
// floor for indices, banker's rounding for integers, and lenient reading of typed text.
namespace Convert {

double floor(double value);

// Nearest integer, halves to even; saturates at the type's bounds, NaN gives 0.
qint16 toInt16(double value);
qint32 toInt32(double value);

// The longest leading number of the text: blanks skipped, optional sign, digits, '.', exponent.
// Full-width digits, sign and point read as their ASCII forms. 0 when there is none;
// a number too large for a double gives +/-infinity.
double leadingNumber(const QString &text);

// Decimal text with at most 15 significant digits and no trailing zeros ("10", "0.7").
QString toDecimalText(double value);

// A colour given as 0x00BBGGRR.
QColor fromBgr(quint32 bgr);

} // namespace Convert
