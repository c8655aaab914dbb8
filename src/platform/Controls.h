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

// A dialog of fixed client size, given in twips, with a title bar and a close box only.
void makeFixedDialog(QWidget *dialog, float clientWidth, float clientHeight);

// Places a control at its design rectangle, given in twips.
void place(QWidget *control, float left, float top, float width, float height);
// Places a control at a rectangle given in pixels.
void place(QWidget *control, const QRect &pixels);

// Colours given as 0x00BBGGRR.
void setForeColor(QWidget *control, quint32 bgr);
void setBackColor(QWidget *control, quint32 bgr);

// Shows a dialog modal to its window, then deletes it. A web page has no nested event loop: there the call
// returns at once and the dialog deletes itself when closed.
void showModal(QDialog *dialog);

// A label as forms draw them: text from the top-left corner, drawn whole.
FittingLabel *createLabel(const char *name, const QString &caption, QWidget *parent);

} // namespace Controls
