// Checks the main window's layout for each pointer and size, and whole turns whose window changes size mid-turn: a
// phone turned either way, with its dialogs, and a desktop window.
#include "forms/about/frmAbout.h"
#include "forms/main/MainLayout.h"
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
    // Keys 0..54 in play on a keyboard just laid out, or laid out again, for the window's size, apart; the input
    // line, BS and OK inside the window too.
    void checkControls(int minimum)
    {
        QList<QRect> places;
        for (int i = 0; i < KigouCount; ++i) {
            const QRect place = key(i)->geometry();
            QVERIFY2(fits(place, client(), minimum), qPrintable(u"key %1 at %2,%3"_s.arg(i).arg(place.x()).arg(place.y())));
            for (const QRect &other : places)
                QVERIFY(!other.intersects(place));
            places << place;
        }
        for (const char *name : {"lblInput", "Command1", "cmdAns"})
            QVERIFY2(fits(control(name)->geometry().translated(control("frameTable")->pos()), client(), minimum), name);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { m_window.reset(); }

    void layoutFollowsPointerAndSize_data()
    {
        QTest::addColumn<Pointer>("pointer");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<int>("length");
        // Worked out from the design's twips (15 to a pixel) and a finger's 44-pixel targets, for 55 keys.
        QTest::addColumn<QString>("sized");
        const auto row = [](Pointer pointer, QSize client, int length) -> QTestData & {
            return QTest::addRow("%s %dx%d, %d", pointer == Pointer::Touch ? "touch" : "mouse", client.width(),
                                 client.height(), length) << pointer << client << length;
        };
        const auto design = [](const QString &grid, int questionWidth) {
            return u"frame 128,0 337x65: input 8,16 201x41, BS 216,24 41x25, OK 280,16 49x33; keys 25 (20.25 pt) on %1; "
                   "question %2x25 (20.25 pt); verdict 8,16 105x33 (20.25 pt)"_s.arg(grid).arg(questionWidth);
        };
        row(Pointer::Mouse, {573, 312}, 5) << design(u"21x8 of 22x9"_s, 150);
        row(Pointer::Mouse, {480, 200}, 20) << design(u"18x4 of 19x5"_s, 525);
        row(Pointer::Mouse, {360, 640}, 1) << design(u"13x22 of 14x23"_s, 50);
        // Too few rows for the keys: the grid grows past the window's bottom edge.
        row(Pointer::Mouse, {200, 150}, 14) << design(u"7x8 of 8x3"_s, 375);
        row(Pointer::Touch, {360, 640}, 20) << u"frame 0,0 360x56: input 6,6 204x44, BS 216,6 60x44, OK 282,6 72x44; keys "
            "44 (35.64 pt) on 8x13 of 8x13; question 357x17 (13.77 pt); verdict 6,79 184x58 (35.64 pt)"_s;
        row(Pointer::Touch, {640, 360}, 13) << u"frame 0,0 640x56: input 6,6 484x44, BS 496,6 60x44, OK 562,6 72x44; keys "
            "44 (35.64 pt) on 14x6 of 14x6; question 616x44 (35.64 pt); verdict 6,106 184x58 (35.64 pt)"_s;
        row(Pointer::Touch, {390, 844}, 5) << u"frame 0,0 390x56: input 6,6 234x44, BS 246,6 60x44, OK 312,6 72x44; keys "
            "49 (39.69 pt) on 7x16 of 7x16; question 294x49 (39.69 pt); verdict 6,111 205x64 (39.69 pt)"_s;
        row(Pointer::Touch, {844, 390}, 20) << u"frame 0,0 844x56: input 6,6 688x44, BS 700,6 60x44, OK 766,6 72x44; keys "
            "47 (38.07 pt) on 17x7 of 17x7; question 840x40 (32.4 pt); verdict 6,102 197x62 (38.07 pt)"_s;
        row(Pointer::Touch, {412, 915}, 14) << u"frame 0,0 412x56: input 6,6 256x44, BS 268,6 60x44, OK 334,6 72x44; keys "
            "53 (42.93 pt) on 7x16 of 7x16; question 405x27 (21.87 pt); verdict 6,89 222x69 (42.93 pt)"_s;
        row(Pointer::Touch, {915, 412}, 1) << u"frame 0,0 915x56: input 6,6 759x44, BS 771,6 60x44, OK 837,6 72x44; keys "
            "50 (40.5 pt) on 18x7 of 18x7; question 100x50 (40.5 pt); verdict 6,112 210x66 (40.5 pt)"_s;
        row(Pointer::Touch, {573, 312}, 5) << u"frame 0,0 573x56: input 6,6 417x44, BS 429,6 60x44, OK 495,6 72x44; keys "
            "44 (35.64 pt) on 13x5 of 13x5; question 264x44 (35.64 pt); verdict 6,106 184x58 (35.64 pt)"_s;
    }
    void layoutFollowsPointerAndSize()
    {
        QFETCH(Pointer, pointer);
        QFETCH(QSize, client);
        QFETCH(int, length);
        QFETCH(QString, sized);
        const MainLayout::Layout l = MainLayout::layoutFor({pointer, client, length, KigouCount});
        const auto px = [](const TwipsRect &r) {
            return u"%1,%2 %3x%4"_s.arg(r.left / 15).arg(r.top / 15).arg(r.width / 15).arg(r.height / 15);
        };
        QCOMPARE(u"frame %1: input %2, BS %3, OK %4; keys %5 (%6 pt) on %7x%8 of %9x%10; question %11x%12 (%13 pt); "
                 "verdict %14 (%15 pt)"_s.arg(px(l.frame), px(l.input), px(l.backspace), px(l.ok)).arg(l.key / 15)
                     .arg(l.keyPoints).arg(l.grid.columns).arg(l.grid.rows).arg(l.inside.columns).arg(l.inside.rows)
                     .arg(l.questionWidth / 15).arg(l.questionHeight / 15).arg(l.questionPoints).arg(px(l.verdict))
                     .arg(l.verdictPoints), sized);
        // The correct string's place in twips: the design's 10 below the frame is no whole pixel.
        QCOMPARE(u"start %1, captions %2 pt, answer %3,%4, menu %5 px %6 pt, least %7x%8"_s.arg(px(l.start))
                     .arg(l.captionPoints).arg(l.answerLeft).arg(l.answerTop).arg(l.menuItem).arg(l.menuPoints)
                     .arg(l.minimumClient.width()).arg(l.minimumClient.height()),
                 pointer == Pointer::Touch ? u"start 6,6 160x56, captions 16 pt, answer 0,850, menu 44 px 16 pt, least 0x0"_s
                                           : u"start 8,8 105x41, captions 12 pt, answer 1920,985, menu 0 px 0 pt, least 480x200"_s);
    }

    void turnSurvivesAChangeOfWindowSize_data()
    {
        QTest::addColumn<Pointer>("pointer");
        QTest::addColumn<QSize>("before");
        QTest::addColumn<QSize>("after");
        // A question of 20 symbols drawn on a turned phone would not fit it upright again, and one on the design's
        // window narrowed leaves its correct string cut.
        QTest::addColumn<qint16>("length");
        for (const QSize size : {QSize(360, 640), QSize(390, 844), QSize(412, 915)}) {
            QTest::addRow("%dx%d turned", size.width(), size.height())
                << Pointer::Touch << size << size.transposed() << qint16(20);
            QTest::addRow("%dx%d turned back", size.height(), size.width())
                << Pointer::Touch << size.transposed() << size << qint16(5);
        }
        QTest::newRow("desktop window halved") << Pointer::Mouse << QSize(1200, 800) << QSize(600, 800) << qint16(20);
    }
    void turnSurvivesAChangeOfWindowSize()
    {
        QFETCH(Pointer, pointer);
        QFETCH(QSize, before);
        QFETCH(QSize, after);
        QFETCH(qint16, length);
        const int target = pointer == Pointer::Touch ? 44 : 25;
        m_window = std::make_unique<frmMain>(pointer);
        m_window->randomSource().setSeedProvider([] { return quint64(20261208); });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        resizeWindow(before);
        Opt = {3, length, 3, 55};
        // The question is kept inside the window while it shows, through a change of size and back.
        m_window->cmdStart_Click();
        for (const QSize next : {after, before}) {
            QVERIFY(client().contains(control("lblData")->geometry()));
            resizeWindow(next);
        }
        m_window->timMain_Timer();
        checkControls(target);
        for (QAction *item : m_window->menuBar()->actions())
            QVERIFY(pointer == Pointer::Mouse || fits(m_window->menuBar()->actionGeometry(item), m_window->menuBar()->rect()));
        m_window->lblKey_Click(AnsIndex[0]);
        QList<QRect> places;
        for (int i = 0; i < KigouCount; ++i)
            places << key(i)->geometry();

        // Keys left outside move to free cells inside; the others stay, and so does what was typed.
        resizeWindow(after);
        checkControls(target);
        for (int i = 0; i < KigouCount; ++i)
            if (client().contains(places[i]))
                QCOMPARE(key(i)->geometry(), places[i]);
        for (int i = 1; i < AnsLen; ++i)
            QTest::mouseClick(key(AnsIndex[i]), Qt::LeftButton);
        QTest::mouseClick(control("cmdAns"), Qt::LeftButton);
        QCOMPARE(control("lblAns")->property("text").toString(), u"正解"_s);

        // The correct string stays just below the input line through a change of size during the verdict, cut where
        // the design's window is too narrow; a finger's, and its verdict, inside the window.
        resizeWindow(before);
        resizeWindow(after);
        QCOMPARE(control("lblData")->pos(), QPoint(control("frameTable")->x(), control("frameTable")->height() + 1));
        if (pointer == Pointer::Mouse)
            return;
        QVERIFY(client().contains(control("lblData")->geometry()) && client().contains(control("lblAns")->geometry()));

        // The dialogs lie inside the window with a frame the window system has yet to draw, 4 pixels round and a title
        // bar of 32; what a finger taps in them is its size.
        const std::unique_ptr<QDialog> dialogs[] = {std::make_unique<frmAbout>(m_window.get(), Pointer::Touch),
            std::make_unique<frmOpt>(m_window.get(), Pointer::Touch)};
        for (const auto &dialog : dialogs) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            QVERIFY(m_window->frameGeometry().contains(dialog->geometry().marginsAdded({4, 32, 4, 4})));
            for (QWidget *control : dialog->findChildren<QWidget *>())
                if (qobject_cast<QPushButton *>(control) || qobject_cast<QComboBox *>(control))
                    QVERIFY(fits(control->geometry(), control->parentWidget()->rect()));
        }
    }
};

QTEST_MAIN(TestTouch)
#include "tst_touch.moc"
