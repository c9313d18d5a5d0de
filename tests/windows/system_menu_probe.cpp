// Picks an entry of a window's system menu (the title bar's) as the operator would and waits
// for the dialog it opens, which it then closes. Prints the menu's entries, one a line.
// Exit status: 0 the dialog came; 100 no window with that title within the bound; 101 no entry
// starting with ENTRY; 102 no dialog with that title within the bound; 103 it did not close.
// Usage: system_menu_probe WINDOW_TITLE ENTRY DIALOG_TITLE SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string utf8(const std::wstring& text)
{
    char out[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, int(sizeof out), nullptr, nullptr);
    return out;
}

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
    if (!argv || argc != 5) {
        std::fputs("usage: system_menu_probe WINDOW_TITLE ENTRY DIALOG_TITLE SECONDS\n", stderr);
        return 2;
    }
    const std::wstring entry = argv[2];
    const DWORD boundMs = DWORD(_wtoi(argv[4])) * 1000;
    const HWND window = waitForWindow(argv[1], boundMs);
    if (!window) {
        std::fputs("no window with that title\n", stderr);
        return 100;
    }
    HMENU menu = GetSystemMenu(window, FALSE);
    UINT command = 0;
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, UINT(i), text, 256, MF_BYPOSITION);
        std::printf("%s\n", utf8(text).c_str());
        if (!command && std::wstring(text).rfind(entry, 0) == 0 && !entry.empty())
            command = GetMenuItemID(menu, i);
    }
    std::fflush(stdout);
    if (!command) {
        std::fputs("no such entry in the system menu\n", stderr);
        return 101;
    }
    PostMessageW(window, WM_SYSCOMMAND, command, 0);
    const HWND dialog = waitForWindow(argv[3], boundMs);
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
