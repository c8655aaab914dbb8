#pragma once

#include <QtGlobal>

class QRect;
class QWidget;

// Positions and sizes in twips (1440 per inch), 15 to a device-independent pixel.
namespace Twips {

inline constexpr double PerPixel = 15.0;

int toPixels(double twips);
double fromPixels(int pixels);

double clientWidth(const QWidget *client);
double clientHeight(const QWidget *client);

} // namespace Twips

// A rectangle in single-precision twips, as the design gives them.
struct TwipsRect
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    static TwipsRect fromPixels(const QRect &pixels);
    // At the nearest pixels, as a widget placed at it sits.
    QRect toPixels() const;
};

// A widget's Left, Top, Width and Height in single-precision twips. The values read back
// exactly as set; the widget itself sits at the nearest pixel.
class TwipsGeometry
{
public:
    explicit TwipsGeometry(QWidget *widget = nullptr);

    void attach(QWidget *widget);
    QWidget *widget() const { return m_widget; }

    float left() const { return m_left; }
    float top() const { return m_top; }
    float width() const { return m_width; }
    float height() const { return m_height; }

    void setLeft(float twips);
    void setTop(float twips);
    void setWidth(float twips);
    void setHeight(float twips);
    void setRect(float left, float top, float width, float height);
    void setRect(const TwipsRect &twips);

private:
    void apply() const;

    QWidget *m_widget = nullptr;
    float m_left = 0;
    float m_top = 0;
    float m_width = 0;
    float m_height = 0;
};
