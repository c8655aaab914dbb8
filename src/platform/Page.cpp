#include "Page.h"

#include <QApplication>
#include <QFont>
#include <QtGlobal>

#ifdef Q_OS_WASM
#include <emscripten.h>

// The runtime stays up behind the page, so the loader's exit handler is called directly.
EM_JS(void, tellLoaderProgramEnded, (int exitCode), {
    if (Module.onExit)
        Module.onExit(exitCode);
});

// Qt types through a hidden text field of the page: screen readers get its name, and a paste into it is left to the
// field, which hands the text to the game's focused text field. Qt's page-wide paste handler (in Chromium it listens
// on the whole document) would cancel the paste, to pass the clipboard on as Ctrl+V, which no control here takes.
EM_JS(void, settleQtTextField, (), {
    for (const field of document.querySelectorAll('body > input'))
        field.setAttribute('aria-label', '文字入力');
    if (Module.qtClipboardPasteTo)
        document.removeEventListener('paste', Module.qtClipboardPasteTo, true);
});

EM_JS(int, pageHasCoarsePointer, (), {
    return typeof matchMedia === 'function' && matchMedia('(pointer: coarse)').matches ? 1 : 0;
});
#endif

namespace Page {

void programEnded([[maybe_unused]] int exitCode)
{
#ifdef Q_OS_WASM
    tellLoaderProgramEnded(exitCode);
#endif
}

void useDesktopFontSize()
{
#ifdef Q_OS_WASM
    QFont font = QApplication::font();
    font.setPointSizeF(9);
    QApplication::setFont(font);
#endif
}

void settleTextField()
{
#ifdef Q_OS_WASM
    settleQtTextField();
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
