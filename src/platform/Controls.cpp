#include "Controls.h"

#include "Convert.h"
#include "FittingLabel.h"
#include "Twips.h"

#include <QAccessible>
#include <QDialog>
#include <QTimer>
#include <QWidget>

namespace Controls {

void makeFixedDialog(QWidget *dialog, float clientWidth, float clientHeight)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(Twips::toPixels(clientWidth), Twips::toPixels(clientHeight));
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
    place(control, float(Twips::fromPixels(pixels.x())), float(Twips::fromPixels(pixels.y())),
          float(Twips::fromPixels(pixels.width())), float(Twips::fromPixels(pixels.height())));
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
