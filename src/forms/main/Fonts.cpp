#include "Fonts.h"

#include <QDirIterator>
#include <QFontDatabase>
#include <QStringList>

namespace Fonts {

namespace {

// Fontconfig does not alias the Windows names to a Japanese gothic, so name the stand-ins.
QStringList candidates()
{
    return {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
            QStringLiteral("Hiragino Sans"), QStringLiteral("Noto Sans CJK JP")};
}

// Every name that is not installed would cost a fontconfig substitution and fallback sort each
// time a font is resolved, so keep only the installed ones, looked up once in the family list.
QStringList installedCandidates()
{
    QStringList installed;
    for (const QString &entry : QFontDatabase::families()) {
        // A family with several foundries is listed as "Family [Foundry]".
        const qsizetype foundry = entry.indexOf(QLatin1String(" ["));
        installed << (foundry < 0 ? entry : entry.left(foundry));
    }
    QStringList chosen;
    for (const QString &name : candidates()) {
        if (installed.contains(name, Qt::CaseInsensitive))
            chosen << name;
    }
    // With none installed, leave the choice to the system's fallback for these names.
    return chosen.isEmpty() ? candidates() : chosen;
}

} // namespace

void registerBuiltInFonts()
{
    QDirIterator fonts(QStringLiteral(":/fonts"), QDir::Files);
    while (fonts.hasNext()) {
        const QString font = fonts.next();
        if (QFontDatabase::addApplicationFont(font) < 0)
            qWarning("Could not load the built-in font %s", qUtf8Printable(font));
    }
}

QFont designFont(qreal pointSize)
{
    if (pointSize <= 0)
        return {};
    static const QStringList families = installedCandidates();
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

} // namespace Fonts
