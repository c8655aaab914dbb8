#include "Page.h"

#include <QtGlobal>

#ifdef Q_OS_WASM
#include <emscripten.h>
#endif

namespace Page {

void programEnded([[maybe_unused]] int exitCode)
{
#ifdef Q_OS_WASM
    // The runtime stays up behind the page, so the loader's exit handler is called directly.
    EM_ASM({ if (Module.onExit) Module.onExit($0); }, exitCode);
#endif
}

} // namespace Page
