// A lock on an open file or device, seen by every program that locks the same file whatever
// name it opened it by, and released when the file is closed. On Windows it locks files only:
// a COM port opens for one program at a time, and there it always succeeds.
#pragma once

namespace brindle::link {

// An exclusive lock on the open file `descriptor`; with wait, until another holder lets go,
// else false at once while another holds it.
[[nodiscard]] bool lockFile(int descriptor, bool wait);
void unlockFile(int descriptor);

} // namespace brindle::link
