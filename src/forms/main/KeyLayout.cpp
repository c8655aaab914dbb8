#include "KeyLayout.h"

#include "platform/Convert.h"
#include "platform/RandomSource.h"

#include <algorithm>
#include <limits>

namespace KeyLayout {

namespace {

qint32 floorToInt32(double value)
{
    const double floored = Convert::floor(value);
    if (!(floored > std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    if (floored >= std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    return qint32(floored);
}

// One draw for the column, then one for the row, until the cell is not taken.
Cell freeCell(const Grid &grid, const std::vector<Cell> &taken, RandomSource &random)
{
    Cell cell;
    do {
        cell.column = qint16(Convert::floor(double(random.draw()) * grid.columns));
        cell.row = qint16(Convert::floor(double(random.draw()) * grid.rows));
    } while (std::find(taken.begin(), taken.end(), cell) != taken.end());
    return cell;
}

} // namespace

Grid gridFor(double clientWidth, double clientHeight, qint32 keyWidth, qint32 keyHeight, double frameHeight)
{
    if (keyWidth <= 0 || keyHeight <= 0)
        return {};
    return {floorToInt32((clientWidth - keyWidth) / keyWidth),
            floorToInt32((clientHeight - keyHeight - frameHeight) / keyHeight)};
}

Grid cellsInside(double clientWidth, double clientHeight, qint32 keyWidth, qint32 keyHeight, double frameHeight)
{
    if (keyWidth <= 0 || keyHeight <= 0)
        return {};
    return {std::max(floorToInt32(clientWidth / keyWidth), 0),
            std::max(floorToInt32((clientHeight - frameHeight) / keyHeight), 0)};
}

Grid gridWithRoomFor(Grid grid, int keyCount)
{
    // Cells beyond the client area are reached once the window grows again.
    grid.columns = std::clamp<qint32>(grid.columns, 1, std::numeric_limits<qint16>::max());
    grid.rows = std::clamp<qint32>(grid.rows, 0, std::numeric_limits<qint16>::max());
    if (qint64(grid.columns) * grid.rows < keyCount)
        grid.rows = (keyCount + grid.columns - 1) / grid.columns;
    return grid;
}

std::vector<Cell> placeKeys(const Grid &grid, int keyCount, RandomSource &random)
{
    std::vector<Cell> cells;
    cells.reserve(std::max(keyCount, 0));
    for (int i = 0; i < keyCount; ++i)
        cells.push_back(freeCell(grid, cells, random));
    return cells;
}

std::vector<Cell> keepInside(std::vector<Cell> cells, const Grid &inside, const Grid &grid, RandomSource &random)
{
    for (Cell &cell : cells) {
        if (cell.column >= inside.columns || cell.row >= inside.rows)
            cell = freeCell(grid, cells, random);
    }
    return cells;
}

} // namespace KeyLayout
