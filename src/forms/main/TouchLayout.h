#pragma once

#include "KeyLayout.h"
#include "platform/Controls.h"

#include <QRect>
#include <QSize>

// Sizes and places of the main window's controls on a touch screen, in pixels of the client area:
// every control a finger taps is at least MinTarget square, and what shows symbols grows with it.
namespace TouchLayout {

inline constexpr int MinTarget = Controls::TouchTarget;
// Keys grow up to this while the window still offers twice the cells the symbols need.
inline constexpr int MaxKey = 64;
inline constexpr int Gap = 6;

// The input frame across the window's width, and the input line, BS and OK inside it.
struct Frame
{
    QRect frame;
    QRect input;
    QRect backspace;
    QRect ok;
};
Frame frameFor(int clientWidth);

QRect startButton();

// The largest key, MinTarget to MaxKey, whose grid below the frame offers twice keyCount cells; else MinTarget.
int keySize(QSize client, int frameHeight, int keyCount);

// The whole area below the frame: no free column or row at the edges.
KeyLayout::Grid gridFor(QSize client, int keySize, int frameHeight);

// A question of `length` symbols gets one cell per symbol and one more, as tall as a key, narrower where the window
// is too narrow for that.
int questionHeight(int clientWidth, int keySize, int length);

// The verdict just below the correct string, which lies below the frame.
QRect verdict(int frameHeight, int questionHeight, int keySize);

// Fonts in proportion: a symbol fills its cell as on the desktop, a caption its control.
qreal symbolPointSize(int cellHeight);
qreal captionPointSize();

// Menu bar items at least MinTarget square, their captions in proportion.
inline constexpr int MenuItem = MinTarget;

} // namespace TouchLayout
