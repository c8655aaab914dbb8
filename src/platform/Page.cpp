#include "Page.h"

#include <QtGlobal>

#ifdef Q_OS_WASM
#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QGroupBox>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QWidget>

#include <emscripten.h>

// The runtime stays up behind the page, so the loader's exit handler is called directly.
EM_JS(void, tellLoaderProgramEnded, (int exitCode), {
    if (Module.onExit)
        Module.onExit(exitCode);
});

// Qt types through a hidden text field of the page: screen readers get its name (文字入力, escaped to keep the
// script ASCII), and a paste into it is left to the field, which hands the text to the game's focused text field.
// Qt's page-wide paste handler (in Chromium it listens on the whole document) would cancel the paste, to pass the
// clipboard on as Ctrl+V, which no control here takes.
EM_JS(void, settleQtTextField, (), {
    for (const field of document.querySelectorAll('body > input'))
        field.setAttribute('aria-label', '\u6587\u5b57\u5165\u529b');
    if (Module.qtClipboardPasteTo)
        document.removeEventListener('paste', Module.qtClipboardPasteTo, true);
});

EM_JS(int, pageHasCoarsePointer, (), {
    return typeof matchMedia === 'function' && matchMedia('(pointer: coarse)').matches ? 1 : 0;
});

namespace {

// Settles each widget into the page as it is polished, shown, moved or resized.
class PageSettler : public QObject
{
public:
    explicit PageSettler(QObject *parent)
        : QObject(parent)
        , m_captionOnFrame(QStyleFactory::create(QStringLiteral("Windows")))
    {
        if (m_captionOnFrame)
            m_captionOnFrame->setParent(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A touch the browser cancels (the phone's system took the gesture over) ends with the release Qt makes of
        // it at once, at the touch's last place: on a key that would type the key's symbol. It goes instead to a
        // place outside the pressed control, which lets the press go without a click, as a finger drawn off would.
        if (event->type() == QEvent::TouchCancel && !m_touchCancelled) {
            m_touchCancelled = true;
            QTimer::singleShot(0, this, [this] { m_touchCancelled = false; });
        }
        if (!watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        switch (event->type()) {
        case QEvent::MouseButtonRelease:
            if (m_touchCancelled) {
                m_touchCancelled = false;
                const auto *release = static_cast<QMouseEvent *>(event);
                QMouseEvent away(QEvent::MouseButtonRelease, QPointF(-1, -1), widget->mapToGlobal(QPointF(-1, -1)),
                                 release->button(), release->buttons(), release->modifiers(),
                                 release->pointingDevice());
                QCoreApplication::sendEvent(widget, &away);
                return true;
            }
            break;
        case QEvent::Polish:
            // The page's style draws a group box's frame below its caption, where the page's taller font pushes it
            // onto the controls inside; the Windows style runs the frame through the caption, as the design has it.
            if (auto *box = qobject_cast<QGroupBox *>(widget);
                box && m_captionOnFrame && box->style() != m_captionOnFrame)
                box->setStyle(m_captionOnFrame);
            break;
        case QEvent::Show:
            // Each new window of the page (the main window, every dialog) sets Qt's page-wide paste handler anew.
            if (widget->isWindow())
                settleQtTextField();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // Qt's screen-reader mirror places a control's element only when the control is shown: one that moves or
            // grows while shown (a key placed again when the phone turns, a frame that follows the window's width)
            // would be read out, and touched, where it was. Told again that it is shown, the mirror places it anew.
            // Not asked of QAccessible::isActive(): the page's mirror never sets it, and drops what it gets while off.
            if (widget->isVisible()) {
                tellShown(widget);
                for (QWidget *inside : widget->findChildren<QWidget *>())
                    tellShown(inside);
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    QStyle *m_captionOnFrame;
    bool m_touchCancelled = false;

    static void tellShown(QWidget *control)
    {
        if (!control->isVisible())
            return;
        QAccessibleEvent shown(control, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
};

} // namespace
#endif

namespace Page {

void programEnded([[maybe_unused]] int exitCode)
{
#ifdef Q_OS_WASM
    tellLoaderProgramEnded(exitCode);
#endif
}

void settleQt()
{
#ifdef Q_OS_WASM
    QFont font = QApplication::font();
    font.setPointSizeF(9);
    QApplication::setFont(font);
    settleQtTextField();
    qApp->installEventFilter(new PageSettler(qApp));
#endif
}

bool coarsePointer()
{
#ifdef Q_OS_WASM
    return pageHasCoarsePointer() != 0;
#else
    return false;
#endif
}

} // namespace Page
