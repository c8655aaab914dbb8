#include "TouchLayout.h"

#include "Fonts.h"

#include <algorithm>

namespace TouchLayout {

namespace {

constexpr int BackspaceWidth = 60;
constexpr int OkWidth = 72;
// The design's key is 25 px, its symbols 20.25 pt; its OK button 33 px high, its captions 12 pt.
constexpr qreal DesignKey = 25;
constexpr qreal DesignButton = 33;

} // namespace

Frame frameFor(int clientWidth)
{
    const int width = std::max(clientWidth, 4 * Gap + BackspaceWidth + OkWidth + MinTarget);
    Frame frame;
    frame.frame = QRect(0, 0, width, MinTarget + 2 * Gap);
    frame.ok = QRect(width - Gap - OkWidth, Gap, OkWidth, MinTarget);
    frame.backspace = QRect(frame.ok.left() - Gap - BackspaceWidth, Gap, BackspaceWidth, MinTarget);
    frame.input = QRect(Gap, Gap, frame.backspace.left() - 2 * Gap, MinTarget);
    return frame;
}

QRect startButton()
{
    return QRect(Gap, Gap, 160, MinTarget + 2 * Gap);
}

KeyLayout::Grid gridFor(QSize client, int keySize, int frameHeight)
{
    return KeyLayout::cellsInside(client.width(), client.height(), keySize, keySize, frameHeight);
}

int keySize(QSize client, int frameHeight, int keyCount)
{
    for (int size = MaxKey; size > MinTarget; --size) {
        const KeyLayout::Grid grid = gridFor(client, size, frameHeight);
        if (qint64(grid.columns) * grid.rows >= 2 * qint64(keyCount))
            return size;
    }
    return MinTarget;
}

int questionHeight(int clientWidth, int keySize, int length)
{
    return std::clamp(clientWidth / (std::max(length, 0) + 1), 1, std::max(keySize, 1));
}

QRect verdict(int frameHeight, int questionHeight, int keySize)
{
    return QRect(Gap, frameHeight + questionHeight + Gap, keySize * 21 / 5, keySize * 33 / 25);
}

qreal symbolPointSize(int cellHeight)
{
    return Fonts::SymbolPointSize * cellHeight / DesignKey;
}

qreal captionPointSize()
{
    return Fonts::ButtonPointSize * MinTarget / DesignButton;
}

} // namespace TouchLayout
