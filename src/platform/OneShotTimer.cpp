#include "OneShotTimer.h"

OneShotTimer::OneShotTimer(QObject *parent)
    : QObject(parent)
{
    for (QTimer *timer : {&m_timer, &m_wakeUp}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_timer, &QTimer::timeout, this, &OneShotTimer::timeout);
}

void OneShotTimer::setEnabled(bool enabled)
{
    m_wakeUp.stop();
    // An interval of 0 never fires, as with the timers the design was made for.
    if (!enabled || interval() <= 0) {
        m_timer.stop();
        return;
    }
    m_timer.start();
    // Linux lets a wait overrun by 0.1% of its length (1 ms a second). Waking a little before the
    // end leaves a last wait short enough for its overrun not to matter.
    const int lead = 5 + interval() / 500;
    if (interval() > lead)
        m_wakeUp.start(interval() - lead);
}
