#include "Page.h"

#include <QtGlobal>

#ifdef Q_OS_WASM
#include <emscripten.h>

// The runtime stays up behind the page, so the loader's exit handler is called directly.
EM_JS(void, tellLoaderProgramEnded, (int exitCode), {
    if (Module.onExit)
        Module.onExit(exitCode);
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

bool coarsePointer()
{
#ifdef Q_OS_WASM
    return pageHasCoarsePointer() != 0;
#else
    return false;
#endif
}

} // namespace Page
