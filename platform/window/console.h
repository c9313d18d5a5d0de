// Where --help, --version and option errors go when the window program is started from a
// console: on Windows a GUI program has none of its own and borrows its parent's.
#pragma once

#include <QString>

namespace brindle::app {

// Connects stdout and stderr to the parent process's console where they lead nowhere; does
// nothing where they already lead somewhere (a file, a pipe, a Unix terminal).
void attachParentConsole();

// Text for the user before the window opens (--help, --version, a command-line error, a failure
// to start): on stdout, or on stderr when `error`, connected as attachParentConsole does. Where
// that stream leads nowhere and there is no console to borrow (on Windows, started from
// Explorer, a shortcut or a file association), a message box shows the same text.
void tellUser(const QString& text, bool error);

// Whether LOAD and SAVE use the system's own file dialog: on Windows, where it shows the filter
// labels; elsewhere Qt's own, since the platform dialogs of some desktops ignore them.
bool nativeFileDialog();

} // namespace brindle::app
