#pragma once

#include <QRect>
#include <QString>
#include <QtGlobal>

class FittingLabel;
class QDialog;
class QWidget;

// Helpers for building forms from their design values.
namespace Controls {

// What the player taps with: a touch screen gets controls a finger can hit.
enum class Pointer { Mouse, Touch };
// The smallest control a finger hits reliably, in pixels: 44 CSS px, as the platforms' guidance asks.
inline constexpr int TouchTarget = 44;

// A dialog of fixed client size, given in twips, with a title bar and a close box only.
void makeFixedDialog(QWidget *dialog, float clientWidth, float clientHeight);

// Places a control at its design rectangle, given in twips.
void place(QWidget *control, float left, float top, float width, float height);
// Places a control at a rectangle given in pixels.
void place(QWidget *control, const QRect &pixels);

// Colours given as 0x00BBGGRR.
void setForeColor(QWidget *control, quint32 bgr);
void setBackColor(QWidget *control, quint32 bgr);

// Where a dialog's frame goes: at its own place where that lies inside the area, moved in where it would reach past
// an edge, at the area's top-left corner where the area is the smaller.
QPoint placeInside(const QRect &frame, const QRect &area);
// The area a dialog opened from the owner lies in: the screen, and for a finger the owner's window too.
QRect dialogArea(const QWidget *owner, Pointer pointer);
// Whether a dialog of this client size, with a frame like the owner's, fits the area.
bool fitsIn(QSize clientSize, const QRect &area, const QWidget *owner);
// Moves a shown dialog's frame inside the area.
void keepInside(QWidget *dialog, const QRect &area);

// Shows a dialog modal to its window, then deletes it. A web page has no nested event loop: there the call
// returns at once and the dialog deletes itself when closed.
void showModal(QDialog *dialog);

// A label as forms draw them: text from the top-left corner, drawn whole.
FittingLabel *createLabel(const char *name, const QString &caption, QWidget *parent);

} // namespace Controls
