#pragma once

#include <QObject>
#include <QTimer>

// A timer armed by setting its interval and enabling it; it fires once per arming.
// Precise, because a coarse timer may be 5% off, which a memory game would notice.
class OneShotTimer : public QObject
{
    Q_OBJECT

public:
    explicit OneShotTimer(QObject *parent = nullptr);

    void setInterval(int milliseconds) { m_timer.setInterval(milliseconds); }
    int interval() const { return m_timer.interval(); }
    bool isActive() const { return m_timer.isActive(); }
    Qt::TimerType timerType() const { return m_timer.timerType(); }
    void setEnabled(bool enabled);

signals:
    void timeout();

private:
    QTimer m_timer;
    QTimer m_wakeUp;
};
