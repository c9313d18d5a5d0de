#include "console.h"

#include <windows.h>

#include <cstdio>

namespace brindle::app {

namespace {

bool leadsSomewhere(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void attachParentConsole()
{
    // Redirected output (brindle --help > file) already has somewhere to go.
    const bool out = leadsSomewhere(STD_OUTPUT_HANDLE), err = leadsSomewhere(STD_ERROR_HANDLE);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
    if (!out) {
        std::freopen("CONOUT$", "w", stdout);
        // The shell has printed its prompt already: the output starts on a line of its own.
        std::fputs("\n", stdout);
    }
}

} // namespace brindle::app
