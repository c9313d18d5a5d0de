// Starts a program as Explorer or a shortcut does, with no console and no standard handles,
// and reads the message box it shows: prints the box's text on stdout, presses its OK and
// exits with the program's own exit status. 100 when no box with that title came within the
// bound, 101 when the program did not end within it after the box, 102 when it could not start.
// Usage: start_detached TITLE SECONDS PROGRAM [ARGS...]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring quoted(const std::wstring& argument)
{
    std::wstring out = L"\"";
    for (wchar_t c : argument) {
        if (c == L'"')
            out += L'\\';
        out += c;
    }
    return out + L"\"";
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4) {
        std::fputs("usage: start_detached TITLE SECONDS PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    const std::wstring title = argv[1];
    const DWORD boundMs = DWORD(_wtoi(argv[2])) * 1000;
    std::wstring commandLine = quoted(argv[3]);
    for (int i = 4; i < argc; ++i)
        commandLine += L" " + quoted(argv[i]);

    // No console to borrow: the program's AttachConsole must fail as it does under Explorer.
    FreeConsole();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; // all three null
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "cannot start the program: error %lu\n", GetLastError());
        return 102;
    }

    HWND box = nullptr;
    const DWORD start = GetTickCount();
    while (!box && GetTickCount() - start < boundMs) {
        box = FindWindowW(L"#32770", title.c_str());
        if (!box && WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0)
            break; // ended without a box
    }
    if (!box) {
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        std::fprintf(stderr, "no box titled as asked within %lu s (the program's status: %lu)\n", boundMs / 1000, status);
        TerminateProcess(process.hProcess, 1);
        return 100;
    }
    // The text is the box's static control, 0xFFFF in every message box.
    wchar_t text[8192] = {};
    GetDlgItemTextW(box, 0xFFFF, text, int(sizeof text / sizeof text[0]));
    char utf8[3 * 8192] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, int(sizeof utf8), nullptr, nullptr);
    std::fputs(utf8, stdout);
    std::fflush(stdout);
    PostMessageW(box, WM_COMMAND, IDOK, 0);

    if (WaitForSingleObject(process.hProcess, boundMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "the program did not end within %lu s of the box's OK\n", boundMs / 1000);
        TerminateProcess(process.hProcess, 1);
        return 101;
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    return int(status);
}
