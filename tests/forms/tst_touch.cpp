// Checks the main window and the dialogs on a phone's window, and a turn whose window changes size.
#include "forms/about/frmAbout.h"
#include "forms/main/frmMain.h"
#include "forms/settings/frmOpt.h"

#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace mdlUser;
using Controls::Pointer;

namespace {

// Inside `within` and at least `minimum` pixels square: a finger's target by default.
bool fits(const QRect &place, const QRect &within, int minimum = 44)
{
    return within.contains(place) && place.width() >= minimum && place.height() >= minimum;
}

} // namespace

class TestTouch : public QObject
{
    Q_OBJECT

    std::unique_ptr<frmMain> m_window;

    QWidget *control(const char *name) const { return m_window->findChild<QWidget *>(QLatin1StringView(name)); }
    QWidget *key(int index) const { return m_window->keyGeometry(index).widget(); }
    QRect client() const { return m_window->centralWidget()->rect(); }
    void resizeWindow(QSize size)
    {
        m_window->showNormal();
        m_window->setGeometry(QRect(QPoint(0, 0), size));
        QTRY_COMPARE(m_window->size(), size);
    }
    // Keys 0..54 in play on a keyboard just laid out, or laid out again, for the window's size.
    void checkKeys(int minimum)
    {
        QList<QRect> places;
        for (int i = 0; i < KigouCount; ++i) {
            const QRect place = key(i)->geometry();
            QVERIFY2(fits(place, client(), minimum), qPrintable(u"key %1 at %2,%3"_s.arg(i).arg(place.x()).arg(place.y())));
            for (const QRect &other : places)
                QVERIFY(!other.intersects(place));
            places << place;
        }
    }
    // A question, shown in a window of the first size and, when a second is given, kept inside it too; then the keys.
    void startKeyboard(Pointer pointer, QSize size, qint16 stringLen, QSize resized = {})
    {
        m_window = std::make_unique<frmMain>(pointer);
        m_window->randomSource().setSeedProvider([] { return quint64(20261208); });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        resizeWindow(size);
        Opt = {3, stringLen, 3, 55};
        m_window->cmdStart_Click();
        for (const QSize next : {resized, size}) {
            QVERIFY(client().contains(control("lblData")->geometry()));
            if (next.isValid())
                resizeWindow(next);
        }
        m_window->timMain_Timer();
    }
    void answerRight(int from)
    {
        for (int i = from; i < AnsLen; ++i)
            QTest::mouseClick(key(AnsIndex[i]), Qt::LeftButton);
        QTest::mouseClick(control("cmdAns"), Qt::LeftButton);
        QCOMPARE(control("lblAns")->property("text").toString(), u"正解"_s);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
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
        startKeyboard(Pointer::Touch, size, 20);
        for (QAction *item : m_window->menuBar()->actions())
            QVERIFY(fits(m_window->menuBar()->actionGeometry(item), m_window->menuBar()->rect()));
        checkKeys(44);
        // The symbols as large against their keys as on the desktop's 25-pixel keys.
        QCOMPARE(key(0)->font().pointSizeF() * 25, 20.25 * key(0)->height());
        for (const char *name : {"lblInput", "Command1", "cmdAns"}) {
            QWidget *widget = control(name);
            QVERIFY(fits(QRect(widget->mapTo(m_window->centralWidget(), QPoint()), widget->size()), client()));
        }
        answerRight(0);
        QVERIFY(client().contains(control("lblData")->geometry()) && client().contains(control("lblAns")->geometry()));

        // The dialogs lie inside the window; what a finger taps in them is its size, and OK and キャンセル close them.
        const std::unique_ptr<QDialog> dialogs[] = {std::make_unique<frmAbout>(m_window.get(), Pointer::Touch),
            std::make_unique<frmOpt>(m_window.get(), Pointer::Touch)};
        for (const auto &dialog : dialogs) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            QVERIFY(m_window->frameGeometry().contains(dialog->frameGeometry()));
            for (QWidget *control : dialog->findChildren<QWidget *>()) {
                if (qobject_cast<QPushButton *>(control) || qobject_cast<QComboBox *>(control))
                    QVERIFY(fits(control->geometry(), control->parentWidget()->rect()));
            }
            auto *close = dialog->findChild<QPushButton *>(u"cmdOK"_s);
            QTest::mouseClick(close ? close : dialog->findChild<QPushButton *>(u"cmdCancel"_s), Qt::LeftButton);
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
        startKeyboard(pointer, before, 5, after);
        m_window->lblKey_Click(AnsIndex[0]);
        QList<QRect> places;
        for (int i = 0; i < KigouCount; ++i)
            places << key(i)->geometry();

        // Keys left outside move to free cells inside; the others stay, and so does what was typed.
        resizeWindow(after);
        checkKeys(pointer == Pointer::Touch ? 44 : 25);
        int moved = 0;
        for (int i = 0; i < KigouCount; ++i) {
            if (client().contains(places[i]))
                QCOMPARE(key(i)->geometry(), places[i]);
            else
                ++moved;
        }
        QVERIFY(moved > 0);
        QCOMPARE(control("lblInput")->property("text").toString(), KigouTable[AnsIndex[0]]);
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

    void dialogsMoveInsideTheWindow()
    {
        // A frame past the right and bottom edges moves in, one past the left and top edges too; one wider than the
        // window keeps its left edge on the window's.
        const QRect area(10, 20, 360, 640);
        QCOMPARE(Controls::placeInside(QRect(60, 149, 300, 200), area), QPoint(60, 149));
        QCOMPARE(Controls::placeInside(QRect(156, 529, 300, 200), area), QPoint(70, 460));
        QCOMPARE(Controls::placeInside(QRect(-5, 0, 300, 200), area), QPoint(10, 20));
        QCOMPARE(Controls::placeInside(QRect(50, 50, 400, 200), area), QPoint(10, 50));
    }
};

QTEST_MAIN(TestTouch)
#include "tst_touch.moc"
