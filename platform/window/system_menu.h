// An entry of the program's own in the window's system menu (the title bar's menu), where
// terminal programs put their port settings: on Windows only, other desktops have no such menu
// a program may extend.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace brindle::app {

// Once the window is shown; `chosen` runs when the operator picks the entry.
void addSystemMenuEntry(QWidget* window, const QString& text, std::function<void()> chosen);

} // namespace brindle::app
