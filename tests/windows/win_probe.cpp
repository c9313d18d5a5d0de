// What wine_com_test.sh cannot see from X: windows by their Windows titles, in Wine's processes.
// Every wait is bounded by SECONDS; a failure says on stderr what did not come.
//   win_probe box TITLE SECONDS PROGRAM [ARGS...]: starts PROGRAM as Explorer or a shortcut does
//     (no console, no standard handles), prints the text of its message box titled TITLE,
//     presses OK and exits with PROGRAM's status.
//   win_probe menu WINDOW_TITLE DIALOG_TITLE SECONDS: picks the last entry of the window's system
//     menu with the operator's keys (Alt+Space, End, Enter), closes the dialog it opens, exits 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

DWORD boundMs = 0;

template <class Found> HWND waitFor(Found found) // polled every 0.1 s
{
    HWND window = nullptr;
    for (const DWORD start = GetTickCount(); !(window = found()) && GetTickCount() - start < boundMs;)
        Sleep(100);
    return window;
}

int failed(const char* what)
{
    std::fprintf(stderr, "%s within %lu s\n", what, boundMs / 1000);
    return 100;
}

int box(const wchar_t* title, int argc, wchar_t** argv)
{
    std::wstring commandLine;
    for (int i = 0; i < argc; ++i) {
        commandLine += i ? L" \"" : L"\"";
        for (const wchar_t* c = argv[i]; *c; ++c)
            commandLine += *c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, *c);
        commandLine += L'"';
    }
    // No console to borrow: the program's AttachConsole must fail as it does under Explorer.
    FreeConsole();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; // all three null
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &process))
        return failed("the program did not start");
    const HWND found = waitFor([&] { return FindWindowW(L"#32770", title); });
    if (found) {
        // The text is the box's static control, 0xFFFF in every message box.
        wchar_t text[8192] = {};
        GetDlgItemTextW(found, 0xFFFF, text, int(sizeof text / sizeof text[0]));
        char utf8[3 * 8192] = {};
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, int(sizeof utf8), nullptr, nullptr);
        std::fputs(utf8, stdout);
        std::fflush(stdout);
        PostMessageW(found, WM_COMMAND, IDOK, 0);
    }
    const bool ended = WaitForSingleObject(process.hProcess, found ? boundMs : 0) == WAIT_OBJECT_0;
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    TerminateProcess(process.hProcess, 1);
    if (!found) {
        std::fprintf(stderr, "(the program's status: %lu) ", status);
        return failed("no box titled as asked");
    }
    return ended ? int(status) : failed("the program did not end after the box's OK");
}

int menu(const wchar_t* windowTitle, const wchar_t* dialogTitle)
{
    const HWND window = waitFor([&] { return FindWindowW(nullptr, windowTitle); });
    if (!window)
        return failed("no window with that title");
    // The menu lives in the program's own process (Wine does not share menus between processes).
    SetForegroundWindow(window);
    PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, L' ');
    const HWND popup = waitFor([] { return FindWindowW(L"#32768", nullptr); });
    if (!popup)
        return failed("the system menu did not open");
    for (WPARAM key : {VK_END, VK_RETURN}) {
        PostMessageW(popup, WM_KEYDOWN, key, 0);
        PostMessageW(popup, WM_KEYUP, key, 0);
    }
    const HWND dialog = waitFor([&] { return FindWindowW(nullptr, dialogTitle); });
    if (!dialog)
        return failed("no dialog with that title");
    // Closed and gone before the caller goes on to click the window it kept modal.
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    return waitFor([&] { return IsWindow(dialog) ? nullptr : dialog; }) ? 0 : failed("the dialog did not close");
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"box" && argc >= 5) {
        boundMs = DWORD(_wtoi(argv[3])) * 1000;
        return box(argv[2], argc - 4, argv + 4);
    }
    if (mode == L"menu" && argc == 5) {
        boundMs = DWORD(_wtoi(argv[4])) * 1000;
        return menu(argv[2], argv[3]);
    }
    std::fputs("usage: win_probe box TITLE SECONDS PROGRAM [ARGS...] | menu WINDOW_TITLE DIALOG_TITLE SECONDS\n", stderr);
    return 2;
}
