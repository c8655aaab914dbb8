// Checks the soft keyboard's grid arithmetic and the random placement of keys on distinct cells.
#include "forms/main/KeyLayout.h"
#include "platform/RandomSource.h"

#include <QSet>
#include <QTest>

#include <cmath>

using KeyLayout::Cell;
using KeyLayout::Grid;

class TestKeyLayout : public QObject
{
    Q_OBJECT

private slots:
    void gridFitsBelowFrame_data();
    void gridFitsBelowFrame();
    void gridWithRoomHoldsEveryKey_data();
    void gridWithRoomHoldsEveryKey();
    void placementFollowsDrawsColumnFirst();
    void fixedStartGivesRecordedCells();
    void fullGridUsesEveryCellOnce();
};

void TestKeyLayout::gridFitsBelowFrame_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");

    QTest::newRow("quotient exactly 31") << 12000.0 << 8000.0 << 31 << 17;
    QTest::newRow("one twip narrower") << 11999.0 << 8000.0 << 30 << 17;
    QTest::newRow("design client") << 8595.0 << 4680.0 << 21 << 8;
    QTest::newRow("minimum client") << 7200.0 << 3000.0 << 18 << 4;
    QTest::newRow("no room") << 300.0 << 900.0 << -1 << -2;
    QTest::newRow("minimised") << 0.0 << 0.0 << -1 << -4;
}

void TestKeyLayout::gridFitsBelowFrame()
{
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(int, columns);
    QFETCH(int, rows);

    const Grid grid = KeyLayout::gridFor(width, height, 375, 375, 975);
    QCOMPARE(grid.columns, columns);
    QCOMPARE(grid.rows, rows);
}

void TestKeyLayout::gridWithRoomHoldsEveryKey_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("keys");
    QTest::addColumn<int>("expectedColumns");
    QTest::addColumn<int>("expectedRows");

    QTest::newRow("roomy grid unchanged") << 31 << 17 << 55 << 31 << 17;
    QTest::newRow("exactly full unchanged") << 11 << 5 << 55 << 11 << 5;
    QTest::newRow("one cell short") << 6 << 9 << 55 << 6 << 10;
    QTest::newRow("no columns") << 0 << 4 << 10 << 1 << 10;
    QTest::newRow("negative everything") << -1 << -4 << 55 << 1 << 55;
}

void TestKeyLayout::gridWithRoomHoldsEveryKey()
{
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(int, keys);
    QFETCH(int, expectedColumns);
    QFETCH(int, expectedRows);

    const Grid grid = KeyLayout::gridWithRoomFor({columns, rows}, keys);
    QCOMPARE(grid.columns, expectedColumns);
    QCOMPARE(grid.rows, expectedRows);
}

void TestKeyLayout::placementFollowsDrawsColumnFirst()
{
    const Grid grid{31, 17};
    RandomSource random([] { return quint64(1234); });
    const std::vector<Cell> cells = KeyLayout::placeKeys(grid, 55, random);

    // Replay the draws: column then row per attempt, taken cells drawn again.
    RandomSource replay([] { return quint64(1234); });
    QList<Cell> expected;
    while (expected.size() < 55) {
        const Cell cell{qint16(std::floor(double(replay.draw()) * 31)), qint16(std::floor(double(replay.draw()) * 17))};
        if (!expected.contains(cell))
            expected << cell;
    }
    QCOMPARE(QList<Cell>(cells.begin(), cells.end()), expected);
    for (const Cell &cell : cells) {
        QVERIFY(cell.column >= 0 && cell.column < 31);
        QVERIFY(cell.row >= 0 && cell.row < 17);
    }
}

void TestKeyLayout::fixedStartGivesRecordedCells()
{
    RandomSource random([] { return quint64(7); });
    const std::vector<Cell> cells = KeyLayout::placeKeys({21, 8}, 5, random);
    const std::vector<Cell> recorded = {{5, 2}, {3, 7}, {18, 0}, {1, 2}, {2, 4}};
    QVERIFY(cells == recorded);
}

void TestKeyLayout::fullGridUsesEveryCellOnce()
{
    RandomSource random([] { return quint64(99); });
    const std::vector<Cell> cells = KeyLayout::placeKeys({11, 5}, 55, random);
    QSet<int> used;
    for (const Cell &cell : cells) {
        QVERIFY(cell.column < 11 && cell.row < 5);
        used.insert(cell.row * 11 + cell.column);
    }
    QCOMPARE(used.size(), 55);
}

QTEST_MAIN(TestKeyLayout)
#include "tst_keylayout.moc"
