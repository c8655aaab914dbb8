#include "Convert.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace {

template <typename Int>
Int roundSaturating(double value)
{
    if (std::isnan(value))
        return 0;
    // nearbyint rounds halves to even in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (rounded <= double(std::numeric_limits<Int>::min()))
        return std::numeric_limits<Int>::min();
    if (rounded >= double(std::numeric_limits<Int>::max()))
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(rounded);
}

char asciiOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'０' && u <= u'９')
        return char('0' + (u - u'０'));
    switch (u) {
    case u'＋': return '+';
    case u'－': return '-';
    case u'．': return '.';
    case u'ｅ': return 'e';
    case u'Ｅ': return 'E';
    default: break;
    }
    return u < 0x80 ? char(u) : '\0';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\u3000'; }

} // namespace

namespace Convert {

double floor(double value)
{
    return std::floor(value);
}

qint16 toInt16(double value)
{
    return roundSaturating<qint16>(value);
}

qint32 toInt32(double value)
{
    return roundSaturating<qint32>(value);
}

double leadingNumber(const QString &text)
{
    qsizetype pos = 0;
    while (pos < text.size() && isBlank(text.at(pos)))
        ++pos;

    QByteArray number;
    auto peek = [&](qsizetype at) { return at < text.size() ? asciiOf(text.at(at)) : '\0'; };

    if (peek(pos) == '+' || peek(pos) == '-')
        number += peek(pos++);
    bool hasDigits = false;
    while (isDigit(peek(pos))) {
        number += peek(pos++);
        hasDigits = true;
    }
    if (peek(pos) == '.') {
        number += peek(pos++);
        while (isDigit(peek(pos))) {
            number += peek(pos++);
            hasDigits = true;
        }
    }
    if (!hasDigits)
        return 0.0;

    // The exponent belongs to the number only when at least one digit follows it.
    if (peek(pos) == 'e' || peek(pos) == 'E') {
        qsizetype at = pos + 1;
        QByteArray exponent = "e";
        if (peek(at) == '+' || peek(at) == '-')
            exponent += peek(at++);
        if (isDigit(peek(at))) {
            while (isDigit(peek(at)))
                exponent += peek(at++);
            number += exponent;
        }
    }

    bool ok = false;
    const double value = QLocale::c().toDouble(QLatin1StringView(number), &ok);
    if (ok || std::isinf(value))
        return value;
    return number.startsWith('-') ? -0.0 : 0.0;
}

QString toDecimalText(double value)
{
    if (value == 0.0)
        return QStringLiteral("0");
    return QString::number(value, 'g', 15);
}

QColor fromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace Convert
