#include "console.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace brindle::app {

namespace {

bool attached = false; // to the parent's console

bool leadsSomewhere(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void attachParentConsole()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Redirected output (brindle --help > file) already has somewhere to go.
    const bool out = leadsSomewhere(STD_OUTPUT_HANDLE), err = leadsSomewhere(STD_ERROR_HANDLE);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    attached = true;
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
    if (!out) {
        std::freopen("CONOUT$", "w", stdout);
        // The shell has printed its prompt already: the output starts on a line of its own.
        std::fputs("\n", stdout);
    }
}

void tellUser(const QString& text, bool error)
{
    attachParentConsole();
    if (attached || leadsSomewhere(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE)) {
        std::FILE* stream = error ? stderr : stdout;
        std::fputs(qPrintable(text), stream);
        std::fflush(stream);
        return;
    }
    // Nobody would read it otherwise: a mistyped shortcut or "Open with" would start nothing
    // and say nothing. Shown before any window exists, so the box has no owner.
    const std::wstring message = text.trimmed().toStdWString();
    MessageBoxW(nullptr, message.c_str(), L"Brindle", MB_OK | MB_SETFOREGROUND | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

bool nativeFileDialog() { return true; }

} // namespace brindle::app
