#include "OneShotTimer.h"

OneShotTimer::OneShotTimer(QObject *parent)
    : QTimer(parent)
{
    setSingleShot(true);
    setTimerType(Qt::PreciseTimer);
}

void OneShotTimer::setEnabled(bool enabled)
{
    // An interval of 0 never fires, as with the timers the design was made for.
    if (enabled && interval() > 0)
        start();
    else
        stop();
}
