// Checks the main window: start-up, question, keyboard and verdict of a turn, following the random draws.
#include "forms/main/KeyLayout.h"
#include "forms/main/frmMain.h"
#include "platform/OneShotTimer.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRawFont>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <memory>
#include <random>

// Nested: where __GLIBC_PREREQ is undefined, one #if with && does not even parse.
#if defined(__GLIBC__)
#if __GLIBC_PREREQ(2, 33)
#define QELO_HAVE_MALLINFO2
#endif
#endif
#ifdef QELO_HAVE_MALLINFO2
#include <malloc.h>
// The sanitizer runtime's own count where it is linked in; GCC ships the runtime but not this header.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));
#endif

using namespace Qt::StringLiterals;
using namespace mdlUser;

class TestFrmMain : public QObject
{
    Q_OBJECT

    std::unique_ptr<frmMain> m_window;

    template <typename T = QLabel>
    T *control(const char *name) const { return m_window->findChild<T *>(QLatin1StringView(name)); }
    QLabel *key(int index) const { return qobject_cast<QLabel *>(m_window->keyGeometry(index).widget()); }
    // This build's settings file: beside the program, or per user (in Qt's test folders) where it keeps none there.
    static QString settingsFile()
    {
        const SettingsFiles files = settingsFiles();
        return files.besideProgram.isEmpty() ? files.perUser : files.besideProgram;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        QFile::remove(settingsFile());
        m_window = std::make_unique<frmMain>();
        m_window->randomSource().setSeedProvider([] { return quint64(20261206); });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup()
    {
        m_window.reset();
        QFile::remove(settingsFile());
    }

    void startsIdleMaximised()
    {
        QVERIFY(m_window->windowState() & Qt::WindowMaximized);
        QCOMPARE(m_window->centralWidget()->minimumSize(), QSize(480, 200));
        QCOMPARE(Opt, OptData({3.0, 5, 3.0, 50}));
        QStringList menu;
        for (QAction *action : m_window->menuBar()->actions())
            menu << action->text();
        QCOMPARE(menu, QStringList({u"終了"_s, u"設定"_s, u"バージョン"_s}));
        for (QWidget *child : m_window->centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QCOMPARE(child->isVisible(), child == control<QPushButton>("cmdStart"));
        // A coarse timer may end a 3 s question 150 ms late or early.
        for (const char *timer : {"timMain", "timSub"})
            QCOMPARE(control<OneShotTimer>(timer)->timerType(), Qt::PreciseTimer);
        // The keys' font draws every symbol itself, not through a fallback.
        const QRawFont font = QRawFont::fromFont(key(0)->font());
        QCOMPARE(key(0)->font().pointSizeF(), 20.25);
        QCOMPARE(control<QPushButton>("cmdStart")->font().pointSizeF(), 12.0);
        for (int i = 0; i < KigouCount; ++i)
            QVERIFY2(font.supportsCharacter(KigouTable[i].at(0)), qPrintable(KigouTable[i] + font.familyName()));
    }

    void turnFollowsDraws_data()
    {
        QTest::addColumn<OptData>("opt");
        QTest::addColumn<int>("interval");
        // 変更 to `changed` behind the dialog in mid-turn, before the keyboard or before OK; the player then types
        // as many of the question's symbols as the new length asks for.
        QTest::addColumn<OptData>("changed");
        QTest::addColumn<bool>("beforeKeyboard");
        // Recorded for the fixed draws in the design's client area: the question and its rectangle in twips, then
        // the places of the first two keys and the last.
        QTest::addColumn<QString>("drawn");
        QTest::newRow("defaults") << OptData{3, 5, 3, 50} << 3000 << OptData{3, 4, 3, 10} << true
                                  << u"∞∃♪⊆↓ 3385,2387 2250x375; 0,165 25,140 475,65"_s;
        QTest::newRow("one symbol of three") << OptData{0.1, 1, 3, 3} << 100 << OptData{0.1, 2, 3, 55} << true
                                             << u"☆ 5531,3900 750x375; 300,140 275,165 0,165"_s;
        QTest::newRow("longest, every key") << OptData{10, 20, 3, 55} << 10000 << OptData{10, 19, 3, 3} << false
                                            << u"〒⊥★⇒∨⊆∋☆⇔▽∧∞∀⊆←∂‥∪▼⊥ 677,1352 7875x375; 350,90 275,90 75,65"_s;
        QTest::newRow("half millisecond to even") << OptData{2.0625, 7, 3, 30} << 2062 << OptData{2, 8, 3, 40} << false
                                                  << u"‥∧⊂→♂〒〒 42,2639 3000x375; 25,140 125,165 325,65"_s;
    }
    void turnFollowsDraws()
    {
        QFETCH(OptData, opt);
        QFETCH(int, interval);
        QFETCH(OptData, changed);
        QFETCH(bool, beforeKeyboard);
        QFETCH(QString, drawn);
        m_window->showNormal();
        m_window->resize(573, 312 + m_window->menuBar()->height());
        QTRY_COMPARE(m_window->centralWidget()->size(), QSize(573, 312));
        Opt = opt;
        m_window->cmdStart_Click();
        const TwipsGeometry &data = m_window->lblDataGeometry();
        QString seen = u"%1 %2,%3 %4x%5;"_s.arg(control("lblData")->text()).arg(data.left()).arg(data.top())
                           .arg(data.width()).arg(data.height());
        QVERIFY(control("lblData")->isVisible());
        QVERIFY(control<QPushButton>("cmdStart")->isHidden());
        QCOMPARE(control<OneShotTimer>("timMain")->interval(), interval);

        // The keyboard goes on with the same draws.
        Opt = beforeKeyboard ? changed : opt;
        m_window->timMain_Timer();
        for (int i : {0, 1, opt.KigouNum - 1})
            seen += u" %1,%2"_s.arg(key(i)->x()).arg(key(i)->y());
        QCOMPARE(seen, drawn);
        for (int i = 0; i < KigouCount; ++i)
            QCOMPARE(key(i)->isVisible(), i < opt.KigouNum);
        QVERIFY(control("lblData")->isHidden());
        QVERIFY(control<QGroupBox>("frameTable")->isVisible());
        QCOMPARE(control("lblInput")->text(), QString());
        // The input line is white, as an entry field, on the frame's grey.
        const QImage input = control<QGroupBox>("frameTable")->grab(control("lblInput")->geometry()).toImage();
        QCOMPARE(input.pixelColor(input.width() / 2, input.height() / 2), QColor(Qt::white));
        QVERIFY(!control<OneShotTimer>("timMain")->isActive());

        // The turn keeps its keys, above, and its question: typed short of it, the answer is wrong.
        Opt = changed;
        for (int i = 0; i < std::min(opt.StringLen, changed.StringLen); ++i)
            m_window->lblKey_Click(AnsIndex[i]);
        m_window->cmdAns_Click();
        QCOMPARE(control("lblAns")->text(), changed.StringLen < opt.StringLen ? u"不正解"_s : u"正解"_s);
        // The next question, after the verdict, takes the new values; the input frame gives way to it.
        m_window->timSub_Timer();
        QVERIFY(control<QGroupBox>("frameTable")->isHidden());
        QCOMPARE(DataStr.size(), changed.StringLen);
    }

    void verdictJudgesBySymbolThenStartsOneQuestion_data()
    {
        QTest::addColumn<int>("stringLen");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("right");
        // The edit turns the question into the answer: "=" as it is, "" empty, "+" one more, "~" the last
        // symbol replaced. Three symbols in play make a question of 20 repeat them. Short answers are in the turn.
        QTest::newRow("exact") << 20 << u"="_s << true;
        QTest::newRow("empty") << 5 << QString() << false;
        QTest::newRow("one more") << 5 << u"+"_s << false;
        QTest::newRow("last symbol differs") << 20 << u"~"_s << false;
    }
    void verdictJudgesBySymbolThenStartsOneQuestion()
    {
        QFETCH(int, stringLen);
        QFETCH(QString, edit);
        QFETCH(bool, right);
        Opt = {3, qint16(stringLen), 0.1, 3};
        m_window->cmdStart_Click();
        m_window->timMain_Timer();
        key(54)->show(); // a key beyond those in play, left from an earlier turn
        m_window->Command1_Click(); // BS on the empty line leaves it empty
        QString answer = edit.isEmpty() ? QString() : DataStr;
        if (edit == u"+")
            answer += KigouTable[0];
        else if (edit == u"~")
            answer.back() = KigouTable[(AnsIndex[stringLen - 1] + 1) % 3].at(0);
        // Only a left button pressed and released on a key enters its symbol: not one pressed with another
        // button, nor one pressed elsewhere, nor one released elsewhere.
        QTest::mousePress(key(0), Qt::RightButton);
        QTest::mouseRelease(key(0), Qt::LeftButton);
        QTest::mouseRelease(key(0), Qt::LeftButton);
        QTest::mousePress(key(0), Qt::LeftButton);
        QTest::mouseRelease(key(0), Qt::LeftButton, {}, QPoint(-5, -5));
        // Typed by clicks, with a stray symbol taken back by BS.
        for (QChar symbol : answer + KigouTable[1])
            QTest::mouseClick(key(GetKigouIndex(QString(symbol))), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
        QCOMPARE(control("lblInput")->text(), answer);
        QTest::mouseClick(control<QPushButton>("cmdAns"), Qt::LeftButton);
        QVERIFY(control("lblAns")->isVisible());
        QCOMPARE(control("lblAns")->text(), right ? u"正解"_s : u"不正解"_s);
        QCOMPARE(control("lblAns")->palette().color(QPalette::WindowText), right ? QColor(Qt::blue) : QColor(Qt::red));
        // The correct string just below the input frame, every key hidden.
        QCOMPARE(QPointF(m_window->lblDataGeometry().left(), m_window->lblDataGeometry().top()), QPointF(1920, 985));
        QVERIFY(control("lblData")->isVisible() && control("lblData")->text() == DataStr);
        for (int i = 0; i < KigouCount; ++i)
            QVERIFY(key(i)->isHidden());
        QCOMPARE(control<OneShotTimer>("timSub")->interval(), 100);

        // A second OK during the verdict judges again, and the verdict still ends in one question.
        m_window->cmdAns_Click();
        QSignalSpy fired(control<OneShotTimer>("timSub"), &OneShotTimer::timeout);
        QVERIFY(fired.wait(5000));
        QVERIFY(!control<OneShotTimer>("timSub")->isActive());
        QVERIFY(control("lblAns")->isHidden());
        // 終了 ends at once: the armed timer stops with the window, and nothing is saved.
        QVERIFY(control<OneShotTimer>("timMain")->isActive());
        m_window->mnuEnd_Click();
        QVERIFY(!m_window->isVisible() && !control<OneShotTimer>("timMain")->isActive());
        QVERIFY(!QFile::exists(settingsFile()));
    }

    void cycleRunsBehindModalSettings()
    {
        Opt.ViewTime = 0.1;
        m_window->cmdStart_Click();
        bool keyboardBehindModalDialog = false;
        QObject context;
        connect(control<OneShotTimer>("timMain"), &OneShotTimer::timeout, &context, [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                keyboardBehindModalDialog = modal->objectName() == u"frmOpt" && control<QGroupBox>("frameTable")->isVisible();
                modal->close();
            }
        });
        // A cycle paused by the dialog would otherwise keep it open for ever.
        QTimer::singleShot(5000, &context, [] { QApplication::activeModalWidget()->close(); });
        m_window->mnuOpt_Click();
        QVERIFY(keyboardBehindModalDialog);
    }

    void windowWithoutRoomForOneKeyHoldsEveryKey()
    {
        // Far below the window's least size, as a window manager may force it.
        m_window->showNormal();
        m_window->centralWidget()->setMinimumSize(0, 0);
        m_window->setMinimumSize(0, 0);
        m_window->resize(40, 30 + m_window->menuBar()->height());
        QTRY_COMPARE(m_window->centralWidget()->size(), QSize(40, 30));
        // A question drawn from every symbol, then 記号の種類 lowered in 設定 while it shows.
        Opt = {3, 20, 3, 55};
        m_window->cmdStart_Click();
        Opt.KigouNum = 3;
        // Before placing: on a grid with fewer cells than keys the search for a free cell never ends.
        const KeyLayout::Grid grid = m_window->keyGrid();
        QVERIFY(qint64(grid.columns) * grid.rows >= KigouCount);
        m_window->timMain_Timer();
        for (int i = 0; i < AnsLen; ++i)
            m_window->lblKey_Click(AnsIndex[i]);
        m_window->cmdAns_Click();
        QCOMPARE(control("lblAns")->text(), u"正解"_s);
    }

#ifdef QELO_HAVE_MALLINFO2
    void heapStaysFlatOverThousandsOfTurns()
    {
        // Random answers and settings; a leak of one small object a turn fails this.
        std::mt19937 rng(20261207u);
        const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
        qint64 heapAfterWarmUp = 0;
        m_window->cmdStart_Click();
        for (int turn = 1; turn <= 3000; ++turn) {
            m_window->timMain_Timer();
            for (int i = 0, n = between(0, 22); i < n; ++i)
                between(0, 5) ? m_window->lblKey_Click(between(0, Opt.KigouNum - 1)) : m_window->Command1_Click();
            m_window->cmdAns_Click();
            if (between(0, 4) == 0)
                Opt = {3, qint16(between(1, 20)), 3, qint16(between(3, 55))};
            m_window->timSub_Timer();
            QCoreApplication::processEvents();
            if (turn % 1000 == 0) {
                // Bytes in use: a leak grows them, unlike the resident size under the sanitizers' quarantine.
                const qint64 heap = __sanitizer_get_current_allocated_bytes
                    ? qint64(__sanitizer_get_current_allocated_bytes()) : qint64(mallinfo2().uordblks + mallinfo2().hblkhd);
                if (turn == 1000)
                    heapAfterWarmUp = heap;
                qInfo("live heap grew by %lld KiB from turn 1000 to turn %d", (heap - heapAfterWarmUp) / 1024, turn);
                QVERIFY(heap - heapAfterWarmUp < 128 * 1024);
            }
        }
    }
#endif
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
