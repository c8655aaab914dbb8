#include "Twips.h"

#include <QRect>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Twips {

int toPixels(double twips)
{
    const double pixels = std::nearbyint(twips / PerPixel);
    if (std::isnan(pixels))
        return 0;
    // QWidget geometry is limited to 2^24 anyway; keep far inside int.
    constexpr double limit = 1 << 24;
    return int(std::clamp(pixels, -limit, limit));
}

double fromPixels(int pixels)
{
    return pixels * PerPixel;
}

double clientWidth(const QWidget *client)
{
    return fromPixels(client->width());
}

double clientHeight(const QWidget *client)
{
    return fromPixels(client->height());
}

} // namespace Twips

TwipsRect TwipsRect::fromPixels(const QRect &pixels)
{
    return {float(Twips::fromPixels(pixels.x())), float(Twips::fromPixels(pixels.y())),
            float(Twips::fromPixels(pixels.width())), float(Twips::fromPixels(pixels.height()))};
}

QRect TwipsRect::toPixels() const
{
    return {Twips::toPixels(left), Twips::toPixels(top), std::max(0, Twips::toPixels(width)),
            std::max(0, Twips::toPixels(height))};
}

TwipsGeometry::TwipsGeometry(QWidget *widget)
    : m_widget(widget)
{
}

void TwipsGeometry::attach(QWidget *widget)
{
    m_widget = widget;
    apply();
}

void TwipsGeometry::setLeft(float twips)
{
    m_left = twips;
    apply();
}

void TwipsGeometry::setTop(float twips)
{
    m_top = twips;
    apply();
}

void TwipsGeometry::setWidth(float twips)
{
    m_width = twips;
    apply();
}

void TwipsGeometry::setHeight(float twips)
{
    m_height = twips;
    apply();
}

void TwipsGeometry::setRect(float left, float top, float width, float height)
{
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    apply();
}

void TwipsGeometry::setRect(const TwipsRect &twips)
{
    setRect(twips.left, twips.top, twips.width, twips.height);
}

void TwipsGeometry::apply() const
{
    if (!m_widget)
        return;
    m_widget->setGeometry(TwipsRect{m_left, m_top, m_width, m_height}.toPixels());
}
