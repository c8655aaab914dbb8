// Plays 3000 turns through the window's handlers with random answers, settings and window sizes, and checks
// that the live heap stays flat after warm-up and every turn still shows what it should.
#include "forms/main/frmMain.h"

#include <QLabel>
#include <QTest>

#include <malloc.h>

#include <random>

using namespace mdlUser;

// The sanitizer runtime's own count where it is linked in; GCC ships the runtime but not this header.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

// A leak of one small object a turn passes this over 2000 turns; Qt's caches settle by turn 1000.
constexpr qint64 HeapGrowthLimitBytes = 128 * 1024;

qint64 liveHeapBytes()
{
    if (__sanitizer_get_current_allocated_bytes)
        return qint64(__sanitizer_get_current_allocated_bytes());
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void heapStaysFlatOverThousandsOfTurns();
};

void TestSoak::heapStaysFlatOverThousandsOfTurns()
{
    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    std::mt19937 rng(20261207u);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    auto *input = window.findChild<QLabel *>(u"lblInput"_qs);
    auto *verdict = window.findChild<QLabel *>(u"lblAns"_qs);

    qint64 heapAfterWarmUp = 0;
    window.cmdStart_Click();
    for (int turn = 1; turn <= 3000; ++turn) {
        if (between(0, 9) == 0)
            window.resize(between(1, 1600), between(1, 1000));
        window.timMain_Timer();
        const QString question = DataStr;
        const bool answerRight = between(0, 1);
        for (int i = 0, n = between(0, 22); !answerRight && i < n; ++i)
            between(0, 5) ? window.lblKey_Click(between(0, Opt.KigouNum - 1)) : window.Command1_Click();
        if (answerRight) {
            for (QChar symbol : question)
                window.lblKey_Click(GetKigouIndex(QString(symbol)));
        }
        window.cmdAns_Click();
        QCOMPARE(verdict->text() == u"正解", input->text() == question);
        if (between(0, 4) == 0)
            Opt = {3, qint16(between(1, 20)), 3, qint16(between(3, 55))};
        window.timSub_Timer();
        QCOMPARE(DataStr.size(), int(Opt.StringLen));
        QCoreApplication::processEvents();
        if (turn == 1000 || turn == 3000) {
            window.showMaximized();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            const qint64 heap = liveHeapBytes();
            if (turn == 1000)
                heapAfterWarmUp = heap;
            else
                qInfo("live heap grew by %lld KiB from turn 1000 to turn 3000", (heap - heapAfterWarmUp) / 1024);
            QVERIFY(heap - heapAfterWarmUp < HeapGrowthLimitBytes);
        }
    }
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
