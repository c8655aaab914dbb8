// Checks the main window and the dialogs on a phone's window, and a turn whose window changes size.
#include "forms/about/frmAbout.h"
#include "forms/main/TouchLayout.h"
#include "forms/main/frmMain.h"
#include "forms/settings/frmOpt.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace mdlUser;
using Controls::Pointer;

class TestTouch : public QObject
{
    Q_OBJECT

    std::unique_ptr<frmMain> m_window;

    template <typename T = QLabel>
    T *control(const char *name) const { return m_window->findChild<T *>(QLatin1StringView(name)); }
    QWidget *key(int index) const { return m_window->keyGeometry(index).widget(); }
    QRect inClient(const QWidget *widget) const { return QRect(widget->mapTo(m_window->centralWidget(), QPoint()), widget->size()); }

    void openWindow(Pointer pointer, QSize size)
    {
        QStandardPaths::setTestModeEnabled(true);
        m_window = std::make_unique<frmMain>(pointer);
        m_window->randomSource().setSeedProvider([] { return quint64(20261208); });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        resizeWindow(size);
    }
    void resizeWindow(QSize size)
    {
        m_window->showNormal();
        m_window->setGeometry(QRect(QPoint(0, 0), size));
        QTRY_COMPARE(m_window->size(), size);
    }
    // Every key in play inside the client area, on its own place, at least a finger's size when `minimum` says so.
    void checkKeys(int minimum)
    {
        const QRect client = m_window->centralWidget()->rect();
        QList<QRect> places;
        for (int i = 0; i < AnsKigouNum; ++i) {
            const QRect place = key(i)->geometry();
            QVERIFY2(client.contains(place) && place.width() >= minimum && place.height() >= minimum,
                     qPrintable(u"key %1 at %2,%3 %4x%5"_s.arg(i).arg(place.x()).arg(place.y()).arg(place.width()).arg(place.height())));
            for (const QRect &other : places)
                QVERIFY(!other.intersects(place));
            places << place;
        }
    }
    void answerRight(int from = 0)
    {
        for (int i = from; i < AnsLen; ++i)
            QTest::mouseClick(key(AnsIndex[i]), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>("cmdAns"), Qt::LeftButton);
        QCOMPARE(control("lblAns")->text(), u"正解"_s);
    }

private slots:
    void cleanup() { m_window.reset(); }

    void phoneWindowsHoldFingerSizedControls_data()
    {
        QTest::addColumn<QSize>("size");
        for (const QSize size : {QSize(360, 640), QSize(390, 844), QSize(412, 915)}) {
            QTest::addRow("%dx%d", size.width(), size.height()) << size;
            QTest::addRow("%dx%d", size.height(), size.width()) << size.transposed();
        }
    }
    void phoneWindowsHoldFingerSizedControls()
    {
        QFETCH(QSize, size);
        openWindow(Pointer::Touch, size);
        const QRect client = m_window->centralWidget()->rect();
        for (QAction *item : m_window->menuBar()->actions()) {
            const QRect place = m_window->menuBar()->actionGeometry(item);
            QVERIFY(place.width() >= 44 && place.height() >= 44);
        }
        QVERIFY(control<QPushButton>("cmdStart")->height() >= 44);

        // The longest question lies inside the window, its symbols as large against their cells as the keys'.
        Opt = {0.1, 20, 0.1, 55};
        m_window->cmdStart_Click();
        QVERIFY(client.contains(control("lblData")->geometry()));
        m_window->timMain_Timer();
        checkKeys(44);
        QCOMPARE(key(0)->font().pointSizeF() * 25, 20.25 * key(0)->height());
        QVERIFY(client.contains(control<QGroupBox>("frameTable")->geometry()));
        for (const char *name : {"lblInput", "Command1", "cmdAns"}) {
            const QRect place = inClient(control<QWidget>(name));
            QVERIFY(client.contains(place) && place.width() >= 44 && place.height() >= 44);
        }
        answerRight();
        QVERIFY(client.contains(control("lblData")->geometry()) && client.contains(control("lblAns")->geometry()));

        // The dialogs lie inside the window; what a finger taps in them is its size, and OK and キャンセル close them.
        const std::unique_ptr<QDialog> dialogs[] = {std::make_unique<frmAbout>(m_window.get(), Pointer::Touch),
                                                    std::make_unique<frmOpt>(m_window.get(), Pointer::Touch)};
        for (const auto &dialog : dialogs) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            QVERIFY(m_window->frameGeometry().contains(dialog->frameGeometry()));
            QPushButton *close = nullptr;
            for (QWidget *control : dialog->findChildren<QWidget *>()) {
                if (qobject_cast<QPushButton *>(control) || qobject_cast<QComboBox *>(control))
                    QVERIFY(control->width() >= 44 && control->height() >= 44);
                if (control->objectName() == u"cmdOK" || control->objectName() == u"cmdCancel")
                    close = qobject_cast<QPushButton *>(control);
            }
            QTest::mouseClick(close, Qt::LeftButton);
            QVERIFY(dialog->isHidden());
        }
    }

    void turnSurvivesAChangeOfWindowSize_data()
    {
        QTest::addColumn<Pointer>("pointer");
        QTest::addColumn<QSize>("before");
        QTest::addColumn<QSize>("after");
        QTest::newRow("phone turned") << Pointer::Touch << QSize(412, 915) << QSize(915, 412);
        QTest::newRow("phone turned back") << Pointer::Touch << QSize(640, 360) << QSize(360, 640);
        QTest::newRow("desktop window halved") << Pointer::Mouse << QSize(1200, 800) << QSize(600, 800);
        QTest::newRow("desktop window lowered") << Pointer::Mouse << QSize(800, 600) << QSize(800, 300);
    }
    void turnSurvivesAChangeOfWindowSize()
    {
        QFETCH(Pointer, pointer);
        QFETCH(QSize, before);
        QFETCH(QSize, after);
        openWindow(pointer, before);
        Opt = {3, 5, 3, 55};
        m_window->cmdStart_Click();
        m_window->timMain_Timer();
        m_window->lblKey_Click(AnsIndex[0]);
        QList<QRect> places;
        for (int i = 0; i < KigouCount; ++i)
            places << key(i)->geometry();

        resizeWindow(after);
        checkKeys(pointer == Pointer::Touch ? 44 : 25);
        int moved = 0;
        for (int i = 0; i < KigouCount; ++i) {
            if (m_window->centralWidget()->rect().contains(places[i]))
                QCOMPARE(key(i)->geometry(), places[i]);
            else
                ++moved;
        }
        QVERIFY(moved > 0);
        QCOMPARE(control("lblInput")->text(), KigouTable[AnsIndex[0]]);
        answerRight(1);
    }

    void keysOutsideMoveToFreeCells()
    {
        // Two keys lie outside the window's 4 x 2 cells: they take free cells of the 3 x 2 grid in the draws' order.
        // A key in the margin column stays: it is inside the window.
        RandomSource random([] { return quint64(20261206); });
        const std::vector<KeyLayout::Cell> cells =
            KeyLayout::keepInside({{0, 0}, {5, 1}, {2, 1}, {1, 4}, {3, 0}}, {4, 2}, {3, 2}, random);
        QCOMPARE(cells, (std::vector<KeyLayout::Cell>{{0, 0}, {0, 1}, {2, 1}, {1, 1}, {3, 0}}));
    }

    void touchSizesFollowTheWindow_data()
    {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        // Keys grow while the area below the 56 px frame still offers twice the 55 cells; a finger's 44 at least.
        QTest::newRow("phone turned, small") << QSize(640, 316) << 44 << 14 << 5;
        QTest::newRow("phone upright, small") << QSize(360, 596) << 44 << 8 << 12;
        QTest::newRow("phone upright, large") << QSize(412, 871) << 51 << 8 << 15;
        QTest::newRow("exactly twice at 64") << QSize(640, 56 + 704) << 64 << 10 << 11;
    }
    void touchSizesFollowTheWindow()
    {
        QFETCH(QSize, client);
        QFETCH(int, key);
        QFETCH(int, columns);
        QFETCH(int, rows);
        QCOMPARE(TouchLayout::keySize(client, 56, KigouCount), key);
        const KeyLayout::Grid grid = TouchLayout::gridFor(client, key, 56);
        QCOMPARE(QSize(grid.columns, grid.rows), QSize(columns, rows));
        const TouchLayout::Frame frame = TouchLayout::frameFor(client.width());
        QCOMPARE(frame.frame, QRect(0, 0, client.width(), 56));
        QVERIFY(frame.frame.contains(frame.input.united(frame.ok)) && !frame.input.intersects(frame.backspace));
    }

    void dialogsMoveInsideTheWindow_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QPoint>("place");
        const QRect area(10, 20, 360, 640);
        QTest::newRow("fits where it is") << QRect(60, 149, 300, 200) << QPoint(60, 149);
        QTest::newRow("past the right and bottom edges") << QRect(156, 529, 300, 200) << QPoint(70, 460);
        QTest::newRow("past the left and top edges") << QRect(-5, 0, 300, 200) << QPoint(10, 20);
        QTest::newRow("wider than the window") << QRect(50, 50, 400, 200) << QPoint(10, 50);
    }
    void dialogsMoveInsideTheWindow()
    {
        QFETCH(QRect, frame);
        QFETCH(QPoint, place);
        QCOMPARE(Controls::placeInside(frame, QRect(10, 20, 360, 640)), place);
    }
};

QTEST_MAIN(TestTouch)
#include "tst_touch.moc"
