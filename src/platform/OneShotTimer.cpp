#include "OneShotTimer.h"

OneShotTimer::OneShotTimer(QObject *parent)
    : QTimer(parent)
{
    setSingleShot(true);
    setTimerType(Qt::PreciseTimer);
    m_wakeUp.setSingleShot(true);
    m_wakeUp.setTimerType(Qt::PreciseTimer);
}

void OneShotTimer::setEnabled(bool enabled)
{
    m_wakeUp.stop();
    // An interval of 0 never fires, as with the timers the design was made for.
    if (!enabled || interval() <= 0) {
        stop();
        return;
    }
    start();
    // Linux lets a wait overrun by 0.1% of its length (1 ms a second). Waking a little before the
    // end leaves a last wait short enough for its overrun not to matter.
    const int lead = 5 + interval() / 500;
    if (interval() > lead)
        m_wakeUp.start(interval() - lead);
}
