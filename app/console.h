// Where --help, --version and option errors go when the window program is started from a
// console: on Windows a GUI program has none of its own and borrows its parent's.
#pragma once

namespace brindle::app {

// Connects stdout and stderr to the parent process's console where they lead nowhere; does
// nothing where they already lead somewhere (a file, a pipe, a Unix terminal).
void attachParentConsole();

} // namespace brindle::app
