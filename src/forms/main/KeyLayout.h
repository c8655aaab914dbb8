#pragma once

#include <QtGlobal>

#include <vector>

class RandomSource;

// The soft keyboard's grid and the random placement of keys on its cells.
namespace KeyLayout {

struct Grid
{
    qint32 columns = 0;
    qint32 rows = 0;
};

struct Cell
{
    qint16 column = 0;
    qint16 row = 0;

    friend bool operator==(const Cell &, const Cell &) = default;
};

// Columns and rows of keyWidth x keyHeight cells below a frame of the given height; one cell
// width and one cell height stay free at the right and bottom edges.
Grid gridFor(double clientWidth, double clientHeight, qint32 keyWidth, qint32 keyHeight, double frameHeight);

// Columns and rows of cells that lie wholly inside the client area below the frame.
Grid cellsInside(double clientWidth, double clientHeight, qint32 keyWidth, qint32 keyHeight, double frameHeight);

// A grid that holds keyCount cells: at least one column, and as many rows as the keys need.
Grid gridWithRoomFor(Grid grid, int keyCount);

// Distinct cells for keys 0..keyCount-1 in order; per attempt one draw for the column, then
// one for the row, an occupied cell drawn again. The grid must hold keyCount cells.
std::vector<Cell> placeKeys(const Grid &grid, int keyCount, RandomSource &random);

// After the window changed size: the keys on cells outside `inside` move, in key order, to free cells of the grid
// drawn as placeKeys draws them; the others stay. The grid must hold cells.size() cells.
std::vector<Cell> keepInside(std::vector<Cell> cells, const Grid &inside, const Grid &grid, RandomSource &random);

} // namespace KeyLayout
