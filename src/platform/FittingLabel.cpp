#include "FittingLabel.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

FittingLabel::FittingLabel(QWidget *parent)
    : QLabel(parent)
{
    // Captions are symbols, never markup.
    setTextFormat(Qt::PlainText);
}

void FittingLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void FittingLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

void FittingLabel::paintEvent(QPaintEvent *event)
{
    const QRectF area = contentsRect();
    const QString caption = text();
    const QFontMetricsF metrics(font());
    if (caption.isEmpty() || area.isEmpty()
        || (metrics.horizontalAdvance(caption) <= area.width() && metrics.height() <= area.height())) {
        QLabel::paintEvent(event);
        return;
    }

    // Too big for the label: place the ink itself, shrunk only as far as it must be.
    QFrame::paintEvent(event);
    const QRectF ink = metrics.tightBoundingRect(caption);
    if (ink.isEmpty())
        return;
    const qreal scaleY = std::min<qreal>(1.0, area.height() / ink.height());
    const qreal scaleX = std::min<qreal>(scaleY, area.width() / ink.width());

    qreal x = area.left() - ink.left() * scaleX;
    if (alignment() & Qt::AlignHCenter)
        x = area.center().x() - (ink.left() + ink.width() / 2) * scaleX;
    else if (alignment() & Qt::AlignRight)
        x = area.right() - ink.right() * scaleX;
    const qreal baseline = area.center().y() - (ink.top() + ink.height() / 2) * scaleY;

    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.setFont(font());
    painter.translate(x, baseline);
    painter.scale(scaleX, scaleY);
    painter.drawText(QPointF(0, 0), caption);
}
