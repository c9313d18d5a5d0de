// Picks the last entry of a window's system menu (the title bar's) with the keys an operator
// would use and waits for the dialog it opens, which it then closes.
// Exit status: 0 the dialog came; 100 no window with that title within the bound; 101 the menu
// did not open; 102 no dialog with that title within the bound; 103 it did not close.
// Usage: system_menu_probe WINDOW_TITLE DIALOG_TITLE SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HWND waitForWindow(const std::wstring& title, DWORD boundMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindWindowW(nullptr, title.c_str()))
            return window;
        if (GetTickCount() - start >= boundMs)
            return nullptr;
        Sleep(100);
    }
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 4) {
        std::fputs("usage: system_menu_probe WINDOW_TITLE DIALOG_TITLE SECONDS\n", stderr);
        return 2;
    }
    const DWORD boundMs = DWORD(_wtoi(argv[3])) * 1000;
    const HWND window = waitForWindow(argv[1], boundMs);
    if (!window) {
        std::fputs("no window with that title\n", stderr);
        return 100;
    }
    // The menu lives in the program's own process (Wine does not share menus between
    // processes): opened as Alt+Space opens it, its last entry picked with End and Enter, as the
    // operator's keys would.
    SetForegroundWindow(window);
    PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, L' ');
    HWND popup = nullptr;
    for (const DWORD start = GetTickCount(); !popup && GetTickCount() - start < boundMs; Sleep(100))
        popup = FindWindowW(L"#32768", nullptr);
    if (!popup) {
        std::fputs("the system menu did not open\n", stderr);
        return 101;
    }
    PostMessageW(popup, WM_KEYDOWN, VK_END, 0);
    PostMessageW(popup, WM_KEYUP, VK_END, 0);
    PostMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(popup, WM_KEYUP, VK_RETURN, 0);
    const HWND dialog = waitForWindow(argv[2], boundMs);
    if (!dialog) {
        std::fputs("no dialog with that title\n", stderr);
        return 102;
    }
    // Closed and gone before the caller goes on to click the window it kept modal.
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    const DWORD start = GetTickCount();
    while (IsWindow(dialog) && GetTickCount() - start < boundMs)
        Sleep(100);
    if (IsWindow(dialog)) {
        std::fputs("the dialog did not close\n", stderr);
        return 103;
    }
    return 0;
}
