#include "Fonts.h"

#include <QStringList>

namespace Fonts {

QFont designFont(qreal pointSize)
{
    QFont font;
    // Fontconfig does not alias the Windows names to a Japanese gothic, so name the stand-ins.
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Hiragino Sans"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

} // namespace Fonts
