#pragma once

#include <QTimer>

// A timer armed by setting its interval and enabling it; it fires once per arming.
// Precise, because a coarse timer may be 5% off, which a memory game would notice.
class OneShotTimer : public QTimer
{
    Q_OBJECT

public:
    explicit OneShotTimer(QObject *parent = nullptr);

    void setEnabled(bool enabled);
    bool isEnabled() const { return isActive(); }

private:
    QTimer m_wakeUp;
};
