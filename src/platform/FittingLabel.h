#pragma once

#include <QLabel>

// A label that reports clicks and always draws its whole text: text too big for the label
// is centred on its ink and shrunk to fit instead of being cut off.
class FittingLabel : public QLabel
{
    Q_OBJECT

public:
    explicit FittingLabel(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_pressed = false;
};
