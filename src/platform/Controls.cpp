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

void makeFixedDialog(QWidget *dialog, QSize clientSize)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(clientSize);
}

QMargins frameAround(const QWidget *dialog)
{
    const QWidget *owner = dialog->parentWidget() ? dialog->parentWidget()->window() : dialog;
    QMargins frame = LeastFrame;
    for (const QWidget *window : {dialog, owner}) {
        const QRect outer = window->frameGeometry();
        const QRect inner = window->geometry();
        frame = frame | QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                          outer.bottom() - inner.bottom());
    }
    return frame;
}

QRect placeInside(const QRect &client, const QMargins &frame, const QRect &area)
{
    const auto along = [](int start, int length, int areaStart, int areaLength) {
        return std::max(std::min(start, areaStart + areaLength - length), areaStart);
    };
    const QRect outer = client.marginsAdded(frame);
    const QPoint corner(along(outer.x(), outer.width(), area.x(), area.width()),
                        along(outer.y(), outer.height(), area.y(), area.height()));
    return {corner + QPoint(frame.left(), frame.top()), client.size()};
}

QRect dialogArea(const QWidget *owner, Pointer pointer)
{
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect();
    if (owner && pointer == Pointer::Touch)
        area = area.isEmpty() ? owner->window()->frameGeometry() : area & owner->window()->frameGeometry();
    return area;
}

bool fitsIn(QSize clientSize, const QRect &area, const QMargins &frame)
{
    const QSize needed = clientSize.grownBy(frame);
    return needed.width() <= area.width() && needed.height() <= area.height();
}

bool takesDesign(QSize designClient, const QRect &area, const QMargins &frame, Pointer pointer)
{
    return pointer != Pointer::Touch && fitsIn(designClient, area, frame);
}

void keepInside(QWidget *dialog, const QRect &area)
{
    if (area.isEmpty())
        return;
    // The client area is placed, not the frame: a frame not drawn yet would otherwise be counted as none.
    const QRect place = placeInside(dialog->geometry(), frameAround(dialog), area);
    if (place != dialog->geometry())
        dialog->setGeometry(place);
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

void place(QWidget *control, const TwipsRect &twips)
{
    TwipsGeometry(control).setRect(twips);
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
