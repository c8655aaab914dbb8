#pragma once

#include <QFont>

// The design font of the main window's controls, with stand-ins where it is not installed.
namespace Fonts {

inline constexpr qreal ButtonPointSize = 12.0;
inline constexpr qreal SymbolPointSize = 20.25;

// At a size of 0, no font of its own: the toolkit's, where the design sets none.
QFont designFont(qreal pointSize);

// Registers the fonts built into the program (a web page has no system fonts); call before designFont().
void registerBuiltInFonts();

} // namespace Fonts
