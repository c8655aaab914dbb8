#pragma once

#include <QMargins>
#include <QRect>
#include <QString>
#include <QtGlobal>

class FittingLabel;
struct TwipsRect;
class QDialog;
class QWidget;

// Helpers for building forms from their design values.
namespace Controls {

// What the player taps with: a touch screen gets controls a finger can hit.
enum class Pointer { Mouse, Touch };
// The smallest control a finger hits reliably, in pixels: 44 CSS px, as the platforms' guidance asks.
inline constexpr int TouchTarget = 44;

// A dialog of fixed client size, given in pixels, with a title bar and a close box only.
void makeFixedDialog(QWidget *dialog, QSize clientSize);

// Places a control at a rectangle given in twips.
void place(QWidget *control, const TwipsRect &twips);

// Colours given as 0x00BBGGRR.
void setForeColor(QWidget *control, quint32 bgr);
void setBackColor(QWidget *control, quint32 bgr);

// The frame counted round a dialog that has none yet: Qt learns a window's frame only once the window system has
// drawn it, after the dialog is placed. A browser page draws a 4-pixel border; 32 pixels stand for a title bar.
inline constexpr QMargins LeastFrame(4, 32, 4, 4);
// The frame round a dialog: its own where the window system has drawn one, no thinner than its owner's or LeastFrame.
QMargins frameAround(const QWidget *dialog);
// Where a client area goes so that it lies inside the area with its frame: at its own place where it does, moved in
// where it would reach past an edge, at the area's top-left corner where the area is the smaller.
QRect placeInside(const QRect &client, const QMargins &frame, const QRect &area);
// The area a dialog opened from the owner lies in: the screen, and for a finger the owner's window too.
QRect dialogArea(const QWidget *owner, Pointer pointer);
// Whether a client area of this size fits the area with the given frame round it.
bool fitsIn(QSize clientSize, const QRect &area, const QMargins &frame);
// Whether a dialog takes its design, of this client size: where a mouse points and it fits the area it opens in;
// else it takes its compact layout.
bool takesDesign(QSize designClient, const QRect &area, const QMargins &frame, Pointer pointer);
// Moves a dialog about to be shown, with its frame, inside the area.
void keepInside(QWidget *dialog, const QRect &area);

// Shows a dialog modal to its window, then deletes it. A web page has no nested event loop: there the call
// returns at once and the dialog deletes itself when closed.
void showModal(QDialog *dialog);

// A label as forms draw them: text from the top-left corner, drawn whole.
FittingLabel *createLabel(const char *name, const QString &caption, QWidget *parent);

} // namespace Controls
