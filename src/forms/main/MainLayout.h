#pragma once

#include "KeyLayout.h"
#include "platform/Controls.h"
#include "platform/Twips.h"

#include <QSize>

// Where the main window's controls go and how large they are drawn, worked out in one place from what the player
// points with and the client area's size. With a mouse these are the design's values; for a finger every control it
// taps is at least Controls::TouchTarget pixels square, and what shows symbols grows with its cell.
namespace MainLayout {

struct Input
{
    Controls::Pointer pointer = Controls::Pointer::Mouse;
    QSize client; // pixels
    int questionLength = 0;
    // The keys the grid must hold.
    int keyCount = 0;
    // Pixels: keys already on screen keep their size when the window changes size; 0 sizes them for the client.
    int keptKey = 0;
};

// Rectangles in twips, each in its container's coordinates: the input line, BS and OK in the frame's, the others in
// the client area's. Fonts in points.
struct Layout
{
    TwipsRect frame;
    TwipsRect input;
    TwipsRect backspace;
    TwipsRect ok;
    TwipsRect start;
    qreal captionPoints = 0;

    float key = 0; // twips, square
    qreal keyPoints = 0;
    // The cells the keys are placed on, with room for every key, and the cells wholly inside the client area.
    KeyLayout::Grid grid;
    KeyLayout::Grid inside;

    // The question: one cell as high as the label for each symbol and one more.
    float questionWidth = 0;
    float questionHeight = 0;
    qreal questionPoints = 0;
    // During the verdict the correct string lies just below the frame, from its left edge; the verdict beside it.
    float answerLeft = 0;
    float answerTop = 0;
    TwipsRect verdict;
    qreal verdictPoints = 0;

    // Pixels: the least width and height of a menu bar item. Points: 0 keeps the toolkit's font, as the design does.
    int menuItem = 0;
    qreal menuPoints = 0;
    QSize minimumClient; // pixels
};

Layout layoutFor(const Input &input);

} // namespace MainLayout
