// Plays well over a thousand turns with random answers, settings and window sizes, checking every turn and that
// memory stays flat once warmed up.
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
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>

#if defined(__SANITIZE_ADDRESS__)
#define QELO_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QELO_SOAK_ASAN 1
#endif
#endif
#ifdef QELO_SOAK_ASAN
// The sanitizer runtime's own count; GCC ships the runtime but not this header.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

using mdlUser::Opt;

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

const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);

// Bytes the program holds on the heap: what a leak makes grow, unlike the RSS of an ASan build,
// whose quarantine keeps freed memory resident on purpose.
qint64 liveHeapBytes()
{
#ifdef QELO_SOAK_ASAN
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
#endif
}

qint64 residentBytes()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

int intervalFor(double seconds)
{
    // The default rounding mode takes halves to even.
    return int(std::nearbyint(seconds * 1000));
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void thousandsOfTurns();

private:
    enum class Answer { Empty, Right, RightAfterBs, LastDiffers, Longer, Shorter, RandomKeys, Count };

    bool fastTimerArmed() const;
    void checkQuestion();
    void endQuestion(bool realTimer);
    void checkKeyboard();
    void typeAnswer();
    void pressOk();
    void checkVerdict();
    void endVerdict(bool realTimer);

    bool mouseClick(QWidget *target);
    void clickKey(int index);
    void clickBs();
    void changeSettings(bool alsoTimes);
    void changeWindow();
    void settle();
    void measuringState();
    void setClientMinimum(QSize size);

    std::mt19937 m_rng{20240611u};
    bool chance(double p) { return std::bernoulli_distribution(p)(m_rng); }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }
    double slowTime() { return between(5, 100) / 10.0; }

    std::unique_ptr<frmMain> m_window;
    QWidget *m_client = nullptr;
    QSize m_clientMinimum;
    QLabel *m_lblData = nullptr;
    QLabel *m_lblInput = nullptr;
    QLabel *m_lblAns = nullptr;
    QGroupBox *m_frameTable = nullptr;
    QPushButton *m_cmdStart = nullptr;
    QPushButton *m_cmdAns = nullptr;
    QPushButton *m_command1 = nullptr;
    QTimer *m_timMain = nullptr;
    QTimer *m_timSub = nullptr;
    std::unique_ptr<QSignalSpy> m_mainFired;
    std::unique_ptr<QSignalSpy> m_subFired;
    std::array<QWidget *, frmMain::KeyCount> m_keys{};
    std::array<QString, frmMain::KeyCount> m_keyText;

    // What a step read when it ran; a 0.1 s timer may run it while the test does something else.
    struct Reading
    {
        OptData opt;
        double scaleWidth = 0;
        double scaleHeight = 0;
    };
    Reading reading() const { return {Opt, m_window->ScaleWidth(), m_window->ScaleHeight()}; }
    Reading m_asked;
    Reading m_laidOut;

    // The player's view: question symbols by position (older, longer questions leave theirs
    // beyond the current length), and the input line as typed.
    std::array<QString, 21> m_question;
    QString m_typed;
    qint64 m_okPresses = 0;
    int m_turn = 0;
};

void TestSoak::initTestCase()
{
    m_window = std::make_unique<frmMain>();
    frmMain &w = *m_window;
    // Counter-based draws make a failing run repeatable.
    w.randomSource().setSeedProvider([n = quint64(0)]() mutable { return ++n * 0x9E3779B97F4A7C15ULL; });

    m_client = w.centralWidget();
    m_lblData = w.findChild<QLabel *>(QStringLiteral("lblData"));
    m_lblInput = w.findChild<QLabel *>(QStringLiteral("lblInput"));
    m_lblAns = w.findChild<QLabel *>(QStringLiteral("lblAns"));
    m_frameTable = w.findChild<QGroupBox *>(QStringLiteral("frameTable"));
    m_cmdStart = w.findChild<QPushButton *>(QStringLiteral("cmdStart"));
    m_cmdAns = w.findChild<QPushButton *>(QStringLiteral("cmdAns"));
    m_command1 = w.findChild<QPushButton *>(QStringLiteral("Command1"));
    m_timMain = w.findChild<QTimer *>(QStringLiteral("timMain"));
    m_timSub = w.findChild<QTimer *>(QStringLiteral("timSub"));
    QVERIFY(m_client && m_lblData && m_lblInput && m_lblAns && m_frameTable && m_cmdStart && m_cmdAns && m_command1
            && m_timMain && m_timSub);
    m_clientMinimum = m_client->minimumSize();

    QSet<QString> captions;
    for (int i = 0; i < frmMain::KeyCount; ++i) {
        m_keys[i] = w.keyGeometry(i).widget();
        QVERIFY(m_keys[i]);
        m_keyText[i] = qobject_cast<QLabel *>(m_keys[i])->text();
        QCOMPARE(m_keyText[i].size(), 1);
        captions.insert(m_keyText[i]);
    }
    QCOMPARE(captions.size(), frmMain::KeyCount);

    m_mainFired = std::make_unique<QSignalSpy>(m_timMain, &QTimer::timeout);
    m_subFired = std::make_unique<QSignalSpy>(m_timSub, &QTimer::timeout);
    // Connected after the window's own handlers, so these run once the step has.
    connect(m_timMain, &QTimer::timeout, this, [this] { m_laidOut = reading(); });
    connect(m_timSub, &QTimer::timeout, this, [this] { m_asked = reading(); });

    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

void TestSoak::cleanupTestCase()
{
    m_mainFired.reset();
    m_subFired.reset();
    m_window.reset();
}

void TestSoak::settle()
{
    // Lets layouts and paints of the last step run; a timer armed for half a second or more
    // cannot fire in here, and a 0.1 s one is awaited through its spy.
    QCoreApplication::processEvents();
}

bool TestSoak::mouseClick(QWidget *target)
{
    // Only what the player could hit: on screen, in the window, and not covered by anything.
    // A mouse click runs the event loop, where a 0.1 s timer could fire in the middle of a step.
    frmMain *w = m_window.get();
    if (fastTimerArmed() || w->isMinimized() || !target->isVisible() || !chance(0.5))
        return false;
    const QPoint centre = target->mapTo(w, target->rect().center());
    if (!QRect(QPoint(), w->windowHandle()->size()).contains(centre) || w->childAt(centre) != target)
        return false;
    QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, centre);
    return true;
}

void TestSoak::setClientMinimum(QSize size)
{
    if (m_client->minimumSize() == size)
        return;
    // The offscreen platform says once a change that it keeps no size hints; nothing to see here.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
    m_client->setMinimumSize(size);
}

void TestSoak::measuringState()
{
    setClientMinimum(m_clientMinimum);
    m_window->showMaximized();
    // Twice: the resize posts the layout, the layout posts the paint.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void TestSoak::clickKey(int index)
{
    // Keys beyond the window or hidden by a smaller KigouNum are still clicked, by their handler.
    if (!mouseClick(m_keys[index]))
        m_window->lblKey_Click(index);
    m_typed += m_keyText[index];
}

void TestSoak::clickBs()
{
    if (!mouseClick(m_command1))
        m_window->Command1_Click();
    m_typed.chop(1);
}

void TestSoak::changeSettings(bool alsoTimes)
{
    if (chance(0.5))
        Opt.StringLen = qint16(between(1, 20));
    if (chance(0.5))
        Opt.KigouNum = qint16(between(3, 55));
    if (alsoTimes) {
        Opt.ViewTime = slowTime();
        Opt.ViewAnsTime = slowTime();
    }
}

void TestSoak::changeWindow()
{
    frmMain &w = *m_window;
    switch (between(0, 5)) {
    case 0:
        w.showNormal();
        w.resize(between(1, 1600), between(1, 1000));
        break;
    case 1:
        w.showNormal();
        w.resize(between(1, 40), between(1, 40));
        break;
    case 2:
        w.showMinimized();
        break;
    case 3:
        w.showMaximized();
        break;
    case 4:
        // A platform that ignores the minimum size gives the client area next to nothing.
        setClientMinimum({0, 0});
        w.showNormal();
        w.resize(between(1, 60), between(1, 60));
        break;
    default:
        setClientMinimum(m_clientMinimum);
        w.showNormal();
        break;
    }
}

bool TestSoak::fastTimerArmed() const
{
    return (m_timMain->isActive() && m_timMain->interval() < SlowMs)
        || (m_timSub->isActive() && m_timSub->interval() < SlowMs);
}

void TestSoak::checkQuestion()
{
    const frmMain &w = *m_window;
    const OptData &asked = m_asked.opt;
    QVERIFY(!m_lblData->isHidden());
    QVERIFY(m_frameTable->isHidden());
    QVERIFY(m_lblAns->isHidden());
    QVERIFY(m_cmdStart->isHidden());
    for (QWidget *key : m_keys)
        QVERIFY(key->isHidden());
    QVERIFY(m_timMain->isActive());
    QVERIFY(!m_timSub->isActive());
    QCOMPARE(m_timMain->interval(), intervalFor(asked.ViewTime));

    const QString question = m_lblData->text();
    QCOMPARE(question.size(), int(asked.StringLen));
    for (int i = 0; i < question.size(); ++i) {
        const qsizetype key = std::find(m_keyText.begin(), m_keyText.end(), question.mid(i, 1)) - m_keyText.begin();
        QVERIFY2(key < asked.KigouNum, qPrintable(QStringLiteral("symbol %1 of %2").arg(i).arg(question)));
        m_question[i] = question.mid(i, 1);
    }

    const TwipsGeometry &g = w.lblDataGeometry();
    QCOMPARE(g.width(), float((asked.StringLen + 1) * KeySize));
    const double spanX = m_asked.scaleWidth - g.width();
    const double spanY = m_asked.scaleHeight - g.height();
    QVERIFY2(g.left() >= std::min(0.0, std::floor(spanX)) && g.left() <= std::max(0.0, spanX),
             qPrintable(QStringLiteral("left %1 in width %2").arg(g.left()).arg(m_asked.scaleWidth)));
    QVERIFY2(g.top() >= std::min(0.0, std::floor(spanY)) && g.top() <= std::max(0.0, spanY),
             qPrintable(QStringLiteral("top %1 in height %2").arg(g.top()).arg(m_asked.scaleHeight)));
}

void TestSoak::endQuestion(bool realTimer)
{
    // A slow timer that fired by itself while a loaded machine kept the test busy counts as awaited.
    if (m_mainFired->isEmpty()) {
        QVERIFY(m_timMain->isActive());
        if (realTimer) {
            QVERIFY2(m_mainFired->wait(TimerTimeoutMs), "the question did not end");
        } else {
            m_window->timMain_Timer();
            m_laidOut = reading();
        }
    }
    QVERIFY(m_mainFired->count() <= 1);
    m_mainFired->clear();
    QVERIFY(!m_timMain->isActive());
}

void TestSoak::checkKeyboard()
{
    const frmMain &w = *m_window;
    QVERIFY(m_lblData->isHidden());
    QVERIFY(!m_frameTable->isHidden());
    QVERIFY(m_lblInput->text().isEmpty());
    m_typed.clear();

    const int count = m_laidOut.opt.KigouNum;
    const double top = w.frameTableGeometry().height();
    // The grid as the player's window gives it; when it holds every key, every key is inside it.
    const double columns = std::floor((m_laidOut.scaleWidth - KeySize) / KeySize);
    const double rows = std::floor((m_laidOut.scaleHeight - KeySize - top) / KeySize);
    const bool fits = columns > 0 && rows > 0 && columns * rows >= count;

    QSet<QPair<int, int>> cells;
    for (int i = 0; i < frmMain::KeyCount; ++i) {
        QCOMPARE(m_keys[i]->isHidden(), i >= count);
        if (i >= count)
            continue;
        const TwipsGeometry &g = w.keyGeometry(i);
        const double column = g.left() / KeySize;
        const double row = (g.top() - top) / KeySize;
        QVERIFY2(column == std::floor(column) && row == std::floor(row) && column >= 0 && row >= 0,
                 qPrintable(QStringLiteral("key %1 at %2, %3").arg(i).arg(g.left()).arg(g.top())));
        if (fits)
            QVERIFY2(column < columns && row < rows,
                     qPrintable(QStringLiteral("key %1 at cell %2, %3 of %4 x %5")
                                    .arg(i).arg(column).arg(row).arg(columns).arg(rows)));
        cells.insert({int(column), int(row)});
    }
    QCOMPARE(cells.size(), count);
}

void TestSoak::typeAnswer()
{
    const int length = Opt.StringLen;
    const int count = Opt.KigouNum;
    auto keyOf = [this](const QString &symbol) {
        return int(std::find(m_keyText.begin(), m_keyText.end(), symbol) - m_keyText.begin());
    };
    auto typeQuestion = [&](int symbols) {
        for (int i = 0; i < symbols; ++i)
            clickKey(keyOf(m_question[i]));
    };

    switch (Answer(between(0, int(Answer::Count) - 1))) {
    case Answer::Empty:
        // BS on the empty line must leave it empty.
        for (int n = between(0, 2); n > 0; --n)
            clickBs();
        break;
    case Answer::Right:
        typeQuestion(length);
        break;
    case Answer::RightAfterBs: {
        const int wrongAt = between(0, length - 1);
        typeQuestion(wrongAt);
        clickKey(between(0, count - 1));
        clickBs();
        for (int i = wrongAt; i < length; ++i)
            clickKey(keyOf(m_question[i]));
        break;
    }
    case Answer::LastDiffers: {
        typeQuestion(length - 1);
        int other = between(0, count - 2);
        if (other >= keyOf(m_question[length - 1]))
            ++other;
        clickKey(other);
        break;
    }
    case Answer::Longer:
        typeQuestion(length);
        clickKey(between(0, count - 1));
        break;
    case Answer::Shorter:
        typeQuestion(length - 1);
        break;
    default:
        for (int n = between(0, 25); n > 0; --n) {
            if (chance(0.2))
                clickBs();
            else
                clickKey(between(0, count - 1));
        }
        break;
    }
    QCOMPARE(m_lblInput->text(), m_typed);
}

void TestSoak::pressOk()
{
    if (!mouseClick(m_cmdAns))
        m_window->cmdAns_Click();
    ++m_okPresses;
}

void TestSoak::checkVerdict()
{
    const frmMain &w = *m_window;
    // Judged the way the player would: the right number of symbols, each the question's.
    bool right = m_typed.size() == Opt.StringLen;
    for (int i = 0; right && i < m_typed.size(); ++i)
        right = m_typed.mid(i, 1) == m_question[i];

    QVERIFY(!m_lblAns->isHidden());
    QCOMPARE(m_lblAns->text(), right ? QStringLiteral("正解") : QStringLiteral("不正解"));
    QCOMPARE(m_lblAns->palette().color(QPalette::WindowText), right ? Blue : Red);
    for (QWidget *key : m_keys)
        QVERIFY(key->isHidden());
    QVERIFY(!m_lblData->isHidden());
    QCOMPARE(w.lblDataGeometry().left(), w.frameTableGeometry().left());
    QCOMPARE(w.lblDataGeometry().top(), w.frameTableGeometry().height() + 10);
    QVERIFY(!m_frameTable->isHidden());
    QVERIFY(m_timSub->isActive());
    QCOMPARE(m_timSub->interval(), intervalFor(Opt.ViewAnsTime));
}

void TestSoak::endVerdict(bool realTimer)
{
    if (m_subFired->isEmpty()) {
        QVERIFY(m_timSub->isActive());
        if (realTimer) {
            QVERIFY2(m_subFired->wait(TimerTimeoutMs), "the verdict did not end");
        } else {
            m_window->timSub_Timer();
            m_asked = reading();
        }
    }
    // However often OK was pressed, one verdict display ends once.
    QVERIFY(m_subFired->count() <= 1);
    m_subFired->clear();
    QVERIFY(!m_timSub->isActive());
    QVERIFY(m_lblAns->isHidden());
}

#define SOAK_STEP(call)                                                                                        \
    do {                                                                                                       \
        call;                                                                                                  \
        if (QTest::currentTestFailed()) {                                                                      \
            qWarning("soak: failed in turn %d", m_turn);                                                       \
            return;                                                                                            \
        }                                                                                                      \
    } while (false)

void TestSoak::thousandsOfTurns()
{
    // The first question is as long as any, so that every position has a known symbol.
    Opt = OptData{FastTime, 20, FastTime, 55};
    if (!mouseClick(m_cmdStart))
        m_window->cmdStart_Click();
    m_asked = reading();

    qint64 heapAfterWarmUp = 0, rssAfterWarmUp = 0;
    int realQuestions = 0, realVerdicts = 0;
    for (int &turn = m_turn; turn < Turns; ++turn) {
        const bool realQuestion = m_timMain->interval() < SlowMs;
        SOAK_STEP(checkQuestion());
        if (turn % 100 == 0) {
            // Measured in one window state, so that the backing store's size does not count.
            measuringState();
            const qint64 heap = liveHeapBytes(), rss = residentBytes();
            qInfo("soak: turn %d, live heap %lld KiB, RSS %lld KiB", turn, heap / 1024, rss / 1024);
            if (turn == WarmUpTurns) {
                heapAfterWarmUp = heap;
                rssAfterWarmUp = rss;
            }
        }

        settle();
        if (chance(0.2))
            changeWindow();
        // Changed while the question is up: KigouNum applies to this keyboard, StringLen to this check.
        if (chance(0.2))
            changeSettings(false);
        SOAK_STEP(endQuestion(realQuestion));
        realQuestions += realQuestion;

        SOAK_STEP(checkKeyboard());
        settle();
        if (chance(0.1))
            changeWindow();
        SOAK_STEP(typeAnswer());
        settle();

        const bool realVerdict = chance(0.1);
        realVerdicts += realVerdict;
        Opt.ViewAnsTime = realVerdict ? FastTime : slowTime();
        pressOk();
        SOAK_STEP(checkVerdict());
        if (chance(0.1)) {
            // A second OK, maybe after BS, judges the line anew and still starts one question.
            if (chance(0.5))
                clickBs();
            pressOk();
            SOAK_STEP(checkVerdict());
        }
        settle();

        // Between turns: what the next question reads.
        changeSettings(true);
        if (chance(0.1))
            Opt.ViewTime = FastTime;
        if (chance(0.3))
            changeWindow();
        SOAK_STEP(endVerdict(realVerdict));
    }

    // The last verdict is ended, and the question it starts is where every sample was taken.
    SOAK_STEP(checkQuestion());
    measuringState();
    const qint64 heap = liveHeapBytes(), rss = residentBytes();
    const qint64 heapGrowth = heap - heapAfterWarmUp;
    const qint64 rssGrowth = rss - rssAfterWarmUp;
    qInfo("soak: %d turns, %d questions and %d verdicts ended by their real 0.1 s timers, %lld OK presses; from turn "
          "%d to the end the live heap grew by %lld KiB and the RSS by %lld KiB (heap %lld KiB, RSS %lld KiB at the end)",
          Turns, realQuestions, realVerdicts, m_okPresses, WarmUpTurns, heapGrowth / 1024, rssGrowth / 1024,
          heap / 1024, rss / 1024);
    QVERIFY2(heapGrowth < HeapGrowthLimitBytes,
             qPrintable(QStringLiteral("live heap grew by %1 bytes").arg(heapGrowth)));
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
