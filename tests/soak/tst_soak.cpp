// Plays 2000 turns at times down to 0.1 s with random answers, settings and window sizes (tiny and minimised
// included), checking every turn what the player sees and that the live heap stays flat after warm-up.
#include "forms/main/frmMain.h"
#include "modules/mdlUser.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <malloc.h>

#include <cmath>
#include <random>

using mdlUser::Opt;

// The sanitizer runtime's own count where it is linked in; GCC ships the runtime but not this header.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

constexpr int Turns = 2000;
constexpr int WarmUpTurns = 1000;
// A leak of one small object a turn (a QObject left with a parent) passes this over a thousand turns.
// Qt's caches fill for a few thousand turns, by some 30-50 KiB between turns 1000 and 2000, then stay.
constexpr qint64 HeapGrowthLimitBytes = 128 * 1024;
constexpr int TimerTimeoutMs = 5000;
constexpr double KeySize = 375;
constexpr double FastTime = 0.1;
// Timers armed for at least this long are ended by calling their handler, never awaited.
constexpr int SlowMs = 500;
constexpr int Bs = -1; // a click on BS where a key index could be

// Bytes held on the heap: what a leak makes grow, unlike the RSS of a sanitizer build, whose quarantine
// keeps freed memory resident on purpose.
qint64 liveHeapBytes()
{
    if (__sanitizer_get_current_allocated_bytes)
        return qint64(__sanitizer_get_current_allocated_bytes());
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

} // namespace

#define SOAK_STEP(call)                                                                                        \
    do {                                                                                                       \
        call;                                                                                                  \
        if (QTest::currentTestFailed())                                                                        \
            return qWarning("soak: failed in turn %d", turn);                                                  \
    } while (false)

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Counter-based draws make a failing run repeatable.
        m_window->randomSource().setSeedProvider([n = quint64(0)]() mutable { return ++n * 0x9E3779B97F4A7C15ULL; });
        for (int i = 0; i < frmMain::KeyCount; ++i)
            m_keyChars += qobject_cast<QLabel *>(m_keys[i] = m_window->keyGeometry(i).widget())->text();
        QCOMPARE(QSet<QChar>(m_keyChars.begin(), m_keyChars.end()).size(), frmMain::KeyCount);
        // Connected after the window's own handlers, so these run once the step has.
        connect(m_timMain, &QTimer::timeout, this, [this] { m_laidOut = reading(); });
        connect(m_timSub, &QTimer::timeout, this, [this] { m_asked = reading(); });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void thousandsOfTurns();

private:
    // What a step read when it ran; a 0.1 s timer may run it while the test does something else.
    struct Reading { OptData opt; double width = 0, height = 0; };
    Reading reading() const { return {Opt, m_window->ScaleWidth(), m_window->ScaleHeight()}; }

    template <typename T>
    T *control(const char *name) const
    {
        if (auto *found = m_window->findChild<T *>(QLatin1StringView(name)))
            return found;
        qFatal("no control %s", name);
    }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_rng); }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }
    double slowTime() { return between(5, 100) / 10.0; }

    // A mouse click where the player could make one: on screen, in the window, not covered by anything, and
    // with no 0.1 s timer armed that could fire in the event loop the click runs. Else the handler, as for
    // keys beyond the window or hidden by a smaller KigouNum.
    template <typename Handler>
    void press(QWidget *target, Handler handler)
    {
        frmMain *w = m_window.get();
        const QPoint centre = target->mapTo(w, target->rect().center());
        const bool fastTimer = (m_timMain->isActive() && m_timMain->interval() < SlowMs)
                            || (m_timSub->isActive() && m_timSub->interval() < SlowMs);
        if (fastTimer || w->isMinimized() || !target->isVisible() || !chance(0.5)
            || !QRect(QPoint(), w->windowHandle()->size()).contains(centre) || w->childAt(centre) != target)
            return handler();
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, centre);
    }

    void clickKey(int index)
    {
        if (index == Bs) {
            press(m_command1, [this] { m_window->Command1_Click(); });
            m_typed.chop(1);
        } else {
            press(m_keys[index], [this, index] { m_window->lblKey_Click(index); });
            m_typed += m_keyChars[index];
        }
    }

    void changeSettings(bool alsoTimes)
    {
        if (chance(0.5))
            Opt.StringLen = qint16(between(1, 20));
        if (chance(0.5))
            Opt.KigouNum = qint16(between(3, 55));
        if (alsoTimes) {
            Opt.ViewTime = chance(0.1) ? FastTime : slowTime();
            Opt.ViewAnsTime = slowTime();
        }
    }

    void setClientMinimum(QSize size)
    {
        if (m_client->minimumSize() == size)
            return;
        // The offscreen platform says once a change that it keeps no size hints; nothing to see here.
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
        m_client->setMinimumSize(size);
    }

    void changeWindow()
    {
        // Without its minimum size, as on a platform that ignores it, the client area gets next to nothing.
        if (chance(0.3))
            setClientMinimum(chance(0.5) ? QSize(0, 0) : m_clientMinimum);
        switch (between(0, 3)) {
        case 0: return m_window->showMinimized();
        case 1: return m_window->showMaximized();
        }
        const int most = chance(0.5) ? 40 : 1600;
        m_window->showNormal();
        m_window->resize(between(1, most), between(1, most));
    }

    qint64 measureHeap()
    {
        // In one window state, so that the backing store's size does not count. Processed twice:
        // the resize posts the layout, the layout posts the paint.
        setClientMinimum(m_clientMinimum);
        m_window->showMaximized();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return liveHeapBytes();
    }

    void expectShown(bool question, bool frame, bool verdict, int keys)
    {
        QCOMPARE(!m_lblData->isHidden(), question);
        QCOMPARE(!m_frameTable->isHidden(), frame);
        QCOMPARE(!m_lblAns->isHidden(), verdict);
        QVERIFY(m_cmdStart->isHidden());
        for (int i = 0; i < frmMain::KeyCount; ++i)
            QVERIFY2(m_keys[i]->isHidden() == (i >= keys), qPrintable(QStringLiteral("key %1").arg(i)));
    }

    void expectArmed(QTimer *armed, QTimer *idle, double seconds)
    {
        QVERIFY(armed->isActive() && !idle->isActive());
        QCOMPARE(armed->interval(), int(std::nearbyint(seconds * 1000)));
    }

    void checkQuestion()
    {
        const OptData &asked = m_asked.opt;
        expectShown(true, false, false, 0);
        expectArmed(m_timMain, m_timSub, asked.ViewTime);

        const QString question = m_lblData->text();
        QCOMPARE(question.size(), int(asked.StringLen));
        for (QChar symbol : question)
            QVERIFY2(uint(m_keyChars.indexOf(symbol)) < uint(asked.KigouNum), qPrintable(question));
        m_question.replace(0, question.size(), question);

        // Inside the client area, or at its top left when the client is too small for it.
        const TwipsGeometry &g = m_window->lblDataGeometry();
        for (const auto &[at, span] : {std::pair{g.left(), m_asked.width - g.width()},
                                       std::pair{g.top(), m_asked.height - g.height()}})
            QVERIFY2(at >= std::min(0.0, std::floor(span)) && at <= std::max(0.0, span),
                     qPrintable(QStringLiteral("question at %1, %2 in %3 x %4")
                                    .arg(g.left()).arg(g.top()).arg(m_asked.width).arg(m_asked.height)));
    }

    void checkKeyboard()
    {
        const int count = m_laidOut.opt.KigouNum;
        expectShown(false, true, false, count);
        QVERIFY(m_lblInput->text().isEmpty());
        m_typed.clear();

        // Each key on a cell of its own; when the player's window holds every key, every key is inside it.
        const double top = m_window->frameTableGeometry().height();
        const double columns = std::floor((m_laidOut.width - KeySize) / KeySize);
        const double rows = std::floor((m_laidOut.height - KeySize - top) / KeySize);
        const bool fits = columns > 0 && rows > 0 && columns * rows >= count;
        QSet<QPair<int, int>> cells;
        for (int i = 0; i < count; ++i) {
            const TwipsGeometry &g = m_window->keyGeometry(i);
            const double column = g.left() / KeySize, row = (g.top() - top) / KeySize;
            QVERIFY2(column == std::floor(column) && row == std::floor(row) && column >= 0 && row >= 0
                         && (!fits || (column < columns && row < rows)),
                     qPrintable(QStringLiteral("key %1 at cell %2, %3 of %4 x %5")
                                    .arg(i).arg(column).arg(row).arg(columns).arg(rows)));
            cells.insert({int(column), int(row)});
        }
        QCOMPARE(cells.size(), count);
    }

    void typeAnswer()
    {
        const int length = Opt.StringLen, count = Opt.KigouNum;
        std::vector<int> steps; // the right answer, then changed
        for (int i = 0; i < length; ++i)
            steps.push_back(int(m_keyChars.indexOf(m_question[i])));
        switch (between(0, 6)) {
        case 0: steps.assign(between(0, 2), Bs); break; // BS on the empty line leaves it empty.
        case 1: break;
        case 2: // a wrong key taken back
            steps.insert(steps.begin() + between(0, length - 1), {between(0, count - 1), Bs});
            break;
        case 3: steps.back() = (steps.back() + between(1, count - 1)) % count; break; // the last symbol differs
        case 4: steps.push_back(between(0, count - 1)); break;
        case 5: steps.pop_back(); break;
        default:
            steps.clear();
            for (int n = between(0, 25); n > 0; --n)
                steps.push_back(chance(0.2) ? Bs : between(0, count - 1));
        }
        for (int step : steps)
            clickKey(step);
        QCOMPARE(m_lblInput->text(), m_typed);
    }

    void checkVerdict()
    {
        // Judged the way the player would: the right number of symbols, each the question's.
        const bool right = m_typed == m_question.left(Opt.StringLen);
        expectShown(true, true, true, 0);
        QCOMPARE(m_lblAns->text(), right ? QStringLiteral("正解") : QStringLiteral("不正解"));
        expectArmed(m_timSub, m_timMain, Opt.ViewAnsTime);
    }

    void endStep(QTimer *timer, QSignalSpy &fired, bool realTimer, void (frmMain::*handler)(), Reading &read)
    {
        // A slow timer that fired by itself while a loaded machine kept the test busy counts as awaited.
        if (fired.isEmpty()) {
            QVERIFY(timer->isActive());
            if (realTimer) {
                QVERIFY2(fired.wait(TimerTimeoutMs), qPrintable(timer->objectName() + QStringLiteral(" did not fire")));
            } else {
                (m_window.get()->*handler)();
                read = reading();
            }
        }
        // However often OK was pressed, a step ends once.
        QVERIFY(fired.count() <= 1);
        fired.clear();
        QVERIFY(!timer->isActive());
    }

    std::mt19937 m_rng{20240611u};
    std::unique_ptr<frmMain> m_window = std::make_unique<frmMain>();
    QWidget *m_client = m_window->centralWidget();
    const QSize m_clientMinimum = m_client->minimumSize();
    QLabel *m_lblData = control<QLabel>("lblData"), *m_lblInput = control<QLabel>("lblInput"),
           *m_lblAns = control<QLabel>("lblAns");
    QGroupBox *m_frameTable = control<QGroupBox>("frameTable");
    QPushButton *m_cmdStart = control<QPushButton>("cmdStart"), *m_cmdAns = control<QPushButton>("cmdAns"),
                *m_command1 = control<QPushButton>("Command1");
    QTimer *m_timMain = control<QTimer>("timMain"), *m_timSub = control<QTimer>("timSub");
    QSignalSpy m_mainFired{m_timMain, &QTimer::timeout}, m_subFired{m_timSub, &QTimer::timeout};
    std::array<QWidget *, frmMain::KeyCount> m_keys{};
    QString m_keyChars; // the keys' captions by index
    Reading m_asked, m_laidOut;
    // The question by position as the player saw it: the program judges positions beyond the current
    // question, reached by a longer StringLen set while it is up, against older, longer questions.
    QString m_question;
    QString m_typed;
};

void TestSoak::thousandsOfTurns()
{
    int turn = 0;
    // The first question is as long as any, so that every position has a known symbol.
    Opt = OptData{FastTime, 20, FastTime, 55};
    m_question.fill(QChar(), 20);
    press(m_cmdStart, [this] { m_window->cmdStart_Click(); });
    m_asked = reading();

    qint64 heapAfterWarmUp = 0;
    int realQuestions = 0, realVerdicts = 0;
    for (; turn < Turns; ++turn) {
        const bool realQuestion = m_timMain->interval() < SlowMs;
        realQuestions += realQuestion;
        SOAK_STEP(checkQuestion());
        if (turn == WarmUpTurns)
            heapAfterWarmUp = measureHeap();
        QCoreApplication::processEvents();
        if (chance(0.2))
            changeWindow();
        // Changed while the question is up: KigouNum applies to this keyboard, StringLen to this verdict.
        if (chance(0.2))
            changeSettings(false);
        SOAK_STEP(endStep(m_timMain, m_mainFired, realQuestion, &frmMain::timMain_Timer, m_laidOut));

        SOAK_STEP(checkKeyboard());
        QCoreApplication::processEvents();
        if (chance(0.1))
            changeWindow();
        SOAK_STEP(typeAnswer());
        QCoreApplication::processEvents();

        const bool realVerdict = chance(0.1);
        realVerdicts += realVerdict;
        Opt.ViewAnsTime = realVerdict ? FastTime : slowTime();
        press(m_cmdAns, [this] { m_window->cmdAns_Click(); });
        SOAK_STEP(checkVerdict());
        if (chance(0.1)) {
            // A second OK, maybe after BS, judges the line anew and still starts one question.
            if (chance(0.5))
                clickKey(Bs);
            press(m_cmdAns, [this] { m_window->cmdAns_Click(); });
            SOAK_STEP(checkVerdict());
        }
        QCoreApplication::processEvents();

        // Between turns: what the next question reads.
        changeSettings(true);
        if (chance(0.3))
            changeWindow();
        SOAK_STEP(endStep(m_timSub, m_subFired, realVerdict, &frmMain::timSub_Timer, m_asked));
    }

    // The last verdict is ended, and the question it starts is where the first sample was taken.
    SOAK_STEP(checkQuestion());
    const qint64 heapGrowth = measureHeap() - heapAfterWarmUp;
    qInfo("soak: %d turns, %d questions and %d verdicts ended by their real 0.1 s timers; from turn %d to the end "
          "the live heap grew by %lld KiB",
          Turns, realQuestions, realVerdicts, WarmUpTurns, heapGrowth / 1024);
    QVERIFY2(heapGrowth < HeapGrowthLimitBytes, qPrintable(QStringLiteral("heap grew by %1 bytes").arg(heapGrowth)));
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
