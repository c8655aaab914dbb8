// Measures how long a question really stays visible against ViewTime, and how long a keyboard
// layout takes, on the real main window. Prints the figures; judges nothing.
#include "forms/main/KeyLayout.h"
#include "forms/main/frmMain.h"
#include "modules/mdlUser.h"
#include "platform/OneShotTimer.h"
#include "platform/RandomSource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QWindow>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

struct Summary
{
    double median = 0;
    double worst = 0; // largest absolute value
    double min = 0;
    double max = 0;
};

Summary summarise(std::vector<double> values)
{
    Summary s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    s.worst = std::max(std::fabs(s.min), std::fabs(s.max));
    return s;
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Notes the moment the question label is hidden, which ends the question.
class HideWatcher : public QObject
{
public:
    using QObject::QObject;
    std::function<void()> onHide;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && onHide)
            onHide();
        return QObject::eventFilter(watched, event);
    }
};

void waitUntilShown(QWidget &window)
{
    QElapsedTimer waited;
    waited.start();
    while (!window.windowHandle() || !window.windowHandle()->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (waited.elapsed() > 5000)
            break;
    }
    // Let the maximised size and the first paints settle.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Plays `questions` turns with the given ViewTime, answering OK at once, and returns the
// display time minus ViewTime for each question, in milliseconds.
std::vector<double> displayErrors(double viewTime, int questions)
{
    frmMain window;
    window.show();
    waitUntilShown(window);
    mdlUser::Opt = OptData{viewTime, 5, 0.1, 50};

    auto *lblData = window.findChild<QLabel *>(QStringLiteral("lblData"));
    auto *timSub = window.findChild<OneShotTimer *>(QStringLiteral("timSub"));
    if (!lblData || !timSub) {
        std::fprintf(stderr, "bench_turns: controls not found\n");
        return {};
    }

    std::vector<double> errors;
    Clock::time_point shownAt;
    QEventLoop loop;

    HideWatcher watcher;
    watcher.onHide = [&] {
        errors.push_back(msBetween(shownAt, Clock::now()) - viewTime * 1000);
        if (int(errors.size()) == questions)
            loop.quit();
        else
            QMetaObject::invokeMethod(&window, &frmMain::cmdAns_Click, Qt::QueuedConnection);
    };
    lblData->installEventFilter(&watcher);

    // The label stays visible from the verdict into the next question, so a question starts when
    // StartPrg returns: connected after the window's own handler, this runs right after it.
    QObject::connect(timSub, &OneShotTimer::timeout, &window, [&] { shownAt = Clock::now(); });
    window.cmdStart_Click();
    shownAt = Clock::now();
    loop.exec();
    lblData->removeEventFilter(&watcher);
    return errors;
}

// The toolkit's own floor: a bare precise single-shot QTimer, timed the same way.
std::vector<double> bareTimerErrors(double seconds, int shots)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(int(std::nearbyint(seconds * 1000)));
    std::vector<double> errors;
    Clock::time_point startedAt;
    QEventLoop loop;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        errors.push_back(msBetween(startedAt, Clock::now()) - seconds * 1000);
        if (int(errors.size()) == shots) {
            loop.quit();
            return;
        }
        timer.start();
        startedAt = Clock::now();
    });
    timer.start();
    startedAt = Clock::now();
    loop.exec();
    return errors;
}

std::vector<double> windowLayoutTimes(int runs, bool *designSize, KeyLayout::Grid *grid)
{
    frmMain window;
    window.showNormal();
    waitUntilShown(window);
    QWidget *client = window.centralWidget();
    // The design's client area, 8595 x 4680 twips = 573 x 312 pixels.
    const QSize wanted(573, 312);
    for (int attempt = 0; attempt < 5 && client->size() != wanted; ++attempt) {
        window.resize(window.size() + wanted - client->size());
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    *designSize = window.ScaleWidth() == 8595 && window.ScaleHeight() == 4680;
    if (!*designSize)
        std::printf("  (client area came out %.0f x %.0f twips)\n", window.ScaleWidth(), window.ScaleHeight());

    *grid = KeyLayout::gridFor(window.ScaleWidth(), window.ScaleHeight(), 375, 375,
                               window.frameTableGeometry().height());

    mdlUser::Opt = OptData{3.0, 5, 3.0, 55};
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        // As in a turn, the keys are hidden when the layout starts; painting is not part of it.
        for (int i = 0; i < mdlUser::KigouCount; ++i)
            window.keyGeometry(i).widget()->hide();
        QCoreApplication::processEvents();
        const Clock::time_point start = Clock::now();
        window.VeiwKeyBorad();
        times.push_back(msBetween(start, Clock::now()));
        QCoreApplication::processEvents();
    }
    return times;
}

std::vector<double> gridPlacementTimes(KeyLayout::Grid grid, int runs)
{
    RandomSource random;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        random.reseed();
        const Clock::time_point start = Clock::now();
        const std::vector<KeyLayout::Cell> cells = KeyLayout::placeKeys(grid, 55, random);
        times.push_back(msBetween(start, Clock::now()));
        if (cells.size() != 55)
            std::fprintf(stderr, "bench_turns: placement gave %zu cells\n", cells.size());
    }
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    constexpr int Questions = 60;
    constexpr int LayoutRuns = 500;
    constexpr int PlacementRuns = 2000;

    std::printf("Question display time minus ViewTime (from StartPrg's end to lblData's Hide event), %d questions each:\n",
                Questions);
    for (double viewTime : {0.1, 1.0}) {
        const Summary s = summarise(displayErrors(viewTime, Questions));
        std::printf("  ViewTime %.1f s: median %+.3f ms, worst %+.3f ms (range %+.3f .. %+.3f ms)\n", viewTime,
                    s.median, s.worst, s.min, s.max);
    }

    std::printf("The same for a bare precise single-shot QTimer, %d shots each:\n", Questions);
    for (double seconds : {0.1, 1.0}) {
        const Summary s = summarise(bareTimerErrors(seconds, Questions));
        std::printf("  %.1f s: median %+.3f ms, worst %+.3f ms (range %+.3f .. %+.3f ms)\n", seconds, s.median,
                    s.worst, s.min, s.max);
    }

    std::printf("Keyboard layout of 55 keys:\n");
    bool designSize = false;
    KeyLayout::Grid grid;
    const Summary window = summarise(windowLayoutTimes(LayoutRuns, &designSize, &grid));
    std::printf("  VeiwKeyBorad on the %s client area (%d x %d = %d cells), %d runs: median %.3f ms, worst %.3f ms\n",
                designSize ? "design-size 8595 x 4680-twip" : "nearest", grid.columns, grid.rows,
                grid.columns * grid.rows, LayoutRuns, window.median, window.max);
    for (KeyLayout::Grid full : {KeyLayout::Grid{11, 5}, KeyLayout::Grid{55, 1}}) {
        const Summary s = summarise(gridPlacementTimes(full, PlacementRuns));
        std::printf("  KeyLayout::placeKeys on exactly 55 cells (%d x %d), %d runs: median %.3f ms, worst %.3f ms\n",
                    full.columns, full.rows, PlacementRuns, s.median, s.max);
    }
    return 0;
}
