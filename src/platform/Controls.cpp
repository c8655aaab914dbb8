#include "Controls.h"

#include "Convert.h"
#include "FittingLabel.h"
#include "Twips.h"

#include <QAccessible>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace Controls {

void makeFixedDialog(QWidget *dialog, float clientWidth, float clientHeight)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(Twips::toPixels(clientWidth), Twips::toPixels(clientHeight));
}

QPoint placeInside(const QRect &frame, const QRect &area)
{
    const auto along = [](int start, int length, int areaStart, int areaLength) {
        return std::max(std::min(start, areaStart + areaLength - length), areaStart);
    };
    return {along(frame.x(), frame.width(), area.x(), area.width()),
            along(frame.y(), frame.height(), area.y(), area.height())};
}

QRect dialogArea(const QWidget *owner, Pointer pointer)
{
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect();
    if (owner && pointer == Pointer::Touch)
        area = area.isEmpty() ? owner->window()->frameGeometry() : area & owner->window()->frameGeometry();
    return area;
}

bool fitsIn(QSize clientSize, const QRect &area, const QWidget *owner)
{
    // Before it is shown a dialog has no frame yet: count one like its owner's, with a title bar at least.
    QMargins frame(4, 32, 4, 4);
    if (owner) {
        const QRect outer = owner->window()->frameGeometry();
        const QRect inner = owner->window()->geometry();
        frame = frame | QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                          outer.bottom() - inner.bottom());
    }
    const QSize needed = clientSize.grownBy(frame);
    return needed.width() <= area.width() && needed.height() <= area.height();
}

void keepInside(QWidget *dialog, const QRect &area)
{
    if (area.isEmpty())
        return;
    const QRect frame = dialog->frameGeometry();
    const QPoint place = placeInside(frame, area);
    if (place != frame.topLeft())
        dialog->move(place);
}

void showModal(QDialog *dialog)
{
#ifdef Q_OS_WASM
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    // The page's screen-reader mirror places a dialog's controls as they were before the dialog was centred;
    // once it has its place, tell the mirror again that they are shown, where they now are.
    QTimer::singleShot(0, dialog, [dialog] {
        for (QWidget *control : dialog->findChildren<QWidget *>()) {
            if (control->isVisible()) {
                QAccessibleEvent shown(control, QAccessible::ObjectShow);
                QAccessible::updateAccessibility(&shown);
            }
        }
    });
#else
    dialog->exec();
    delete dialog;
#endif
}

void place(QWidget *control, float left, float top, float width, float height)
{
    TwipsGeometry(control).setRect(left, top, width, height);
}

void place(QWidget *control, const QRect &pixels)
{
    TwipsGeometry(control).setPixelRect(pixels);
}

void setForeColor(QWidget *control, quint32 bgr)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, Convert::fromBgr(bgr));
    control->setPalette(palette);
}

void setBackColor(QWidget *control, quint32 bgr)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, Convert::fromBgr(bgr));
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

FittingLabel *createLabel(const char *name, const QString &caption, QWidget *parent)
{
    auto *label = new FittingLabel(parent);
    label->setObjectName(QLatin1StringView(name));
    label->setText(caption);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace Controls
