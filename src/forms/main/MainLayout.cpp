#include "MainLayout.h"

#include "Fonts.h"
#include "modules/mdlUser.h"
#include "platform/Convert.h"

#include <algorithm>

namespace MainLayout {

namespace {

// The design's key is 25 px high with 20.25-pt symbols, its OK button 33 px with 12-pt captions: a finger's fonts
// keep that proportion to their controls.
constexpr qreal DesignKey = 25;
constexpr qreal DesignButton = 33;

constexpr int MinTarget = Controls::TouchTarget;
// A finger's keys grow up to this while the window still offers twice the cells the symbols need.
constexpr int MaxKey = 64;
constexpr int Gap = 6;
constexpr int BackspaceWidth = 60;
constexpr int OkWidth = 72;

qreal symbolPointSize(int cellHeight)
{
    return Fonts::SymbolPointSize * cellHeight / DesignKey;
}

// The design's twips, whatever the client's size; the grid leaves a cell free at the right and bottom edges.
Layout forMouse(const Input &input)
{
    Layout layout;
    layout.frame = {1920, 0, 5055, 975};
    layout.backspace = {3240, 360, 615, 375};
    layout.ok = {4200, 240, 735, 495};
    layout.input = {120, 240, 3015, 615};
    layout.start = {120, 120, 1575, 615};
    layout.captionPoints = Fonts::ButtonPointSize;
    layout.key = 375;
    const qint32 key = Convert::toInt32(layout.key);
    layout.grid = KeyLayout::gridFor(Twips::fromPixels(input.client.width()), Twips::fromPixels(input.client.height()),
                                     key, key, layout.frame.height);
    layout.questionHeight = 375;
    layout.verdict = {120, 240, 1575, 495};
    // Below this the design's keys could not get 55 cells under the frame.
    layout.minimumClient = {480, 200};
    return layout;
}

// The largest key, MinTarget to MaxKey, whose grid below the frame offers twice the cells of the whole keyboard, so
// that a key keeps its size whatever 記号の種類 says; else MinTarget.
int fingerKey(QSize client, int frameHeight)
{
    for (int size = MaxKey; size > MinTarget; --size) {
        const KeyLayout::Grid grid =
            KeyLayout::cellsInside(client.width(), client.height(), size, size, frameHeight);
        if (qint64(grid.columns) * grid.rows >= 2 * qint64(mdlUser::KigouCount))
            return size;
    }
    return MinTarget;
}

// Pixels: the frame across the window's width with OK at its right end, the keys over the whole area below it.
Layout forFinger(const Input &input)
{
    const int clientWidth = input.client.width();
    const int width = std::max(clientWidth, 4 * Gap + BackspaceWidth + OkWidth + MinTarget);
    const int frameHeight = MinTarget + 2 * Gap;
    const QRect ok(width - Gap - OkWidth, Gap, OkWidth, MinTarget);
    const QRect backspace(ok.left() - Gap - BackspaceWidth, Gap, BackspaceWidth, MinTarget);
    Layout layout;
    layout.frame = TwipsRect::fromPixels({0, 0, width, frameHeight});
    layout.ok = TwipsRect::fromPixels(ok);
    layout.backspace = TwipsRect::fromPixels(backspace);
    layout.input = TwipsRect::fromPixels({Gap, Gap, backspace.left() - 2 * Gap, MinTarget});
    layout.start = TwipsRect::fromPixels({Gap, Gap, 160, frameHeight});
    layout.captionPoints = Fonts::ButtonPointSize * MinTarget / DesignButton;

    const int keySize = input.keptKey > 0 ? input.keptKey : fingerKey(input.client, frameHeight);
    layout.key = float(Twips::fromPixels(keySize));
    // The whole area below the frame: no free column or row at the edges.
    layout.grid = KeyLayout::cellsInside(Twips::fromPixels(clientWidth), Twips::fromPixels(input.client.height()),
                                         Convert::toInt32(layout.key), Convert::toInt32(layout.key),
                                         layout.frame.height);
    // A cell per symbol and one more, as tall as a key, lower where the window is too narrow for that.
    const int length = input.questionLength;
    const int question = std::clamp(clientWidth / (std::max(length, 0) + 1), 1, std::max(keySize, 1));
    layout.questionHeight = float(Twips::fromPixels(question));
    // Below the correct string, as large against the key as the design's verdict against its key.
    layout.verdict = TwipsRect::fromPixels({Gap, frameHeight + question + Gap, keySize * 21 / 5, keySize * 33 / 25});
    layout.menuItem = MinTarget;
    layout.menuPoints = layout.captionPoints;
    // No least size: the keys fill whatever a phone's window leaves below the frame.
    layout.minimumClient = {0, 0};
    return layout;
}

} // namespace

Layout layoutFor(const Input &input)
{
    Layout layout = input.pointer == Controls::Pointer::Touch ? forFinger(input) : forMouse(input);
    const qint32 key = Convert::toInt32(layout.key);
    layout.inside = KeyLayout::cellsInside(Twips::fromPixels(input.client.width()),
                                           Twips::fromPixels(input.client.height()), key, key, layout.frame.height);
    // Cells beyond the client area are reached once the window grows again.
    layout.grid = KeyLayout::gridWithRoomFor(layout.grid, input.keyCount);
    layout.keyPoints = symbolPointSize(Twips::toPixels(layout.key));

    layout.questionWidth = float((std::max(input.questionLength, 0) + 1) * double(layout.questionHeight));
    layout.questionPoints = symbolPointSize(Twips::toPixels(layout.questionHeight));
    layout.answerLeft = layout.frame.left;
    layout.answerTop = layout.frame.height + 10;
    layout.verdictPoints = layout.keyPoints;
    return layout;
}

} // namespace MainLayout
