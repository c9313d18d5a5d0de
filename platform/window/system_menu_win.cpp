#include "system_menu.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QWidget>

#include <windows.h>

namespace brindle::app {

namespace {

// Below 0xF000, where the system's own commands start, and a multiple of 16: Windows uses the
// low four bits of WM_SYSCOMMAND's value itself.
constexpr UINT kEntryId = 0x0110;

class SystemMenuFilter : public QAbstractNativeEventFilter {
public:
    SystemMenuFilter(HWND window, std::function<void()> chosen) : window_(window), chosen_(std::move(chosen)) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->hwnd != window_ || msg->message != WM_SYSCOMMAND || (msg->wParam & 0xFFF0) != kEntryId)
            return false;
        // After the menu's own handling has returned: the choice opens a dialog of its own.
        QMetaObject::invokeMethod(QCoreApplication::instance(), chosen_, Qt::QueuedConnection);
        return true;
    }

private:
    HWND window_;
    std::function<void()> chosen_;
};

} // namespace

void addSystemMenuEntry(QWidget* window, const QString& text, std::function<void()> chosen)
{
    const HWND handle = reinterpret_cast<HWND>(window->winId());
    HMENU menu = GetSystemMenu(handle, FALSE);
    if (!menu) // a platform without native windows (offscreen)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kEntryId, reinterpret_cast<const wchar_t*>(text.utf16()));
    // Lives as long as the program: the window is its one window.
    QCoreApplication::instance()->installNativeEventFilter(new SystemMenuFilter(handle, std::move(chosen)));
}

} // namespace brindle::app
