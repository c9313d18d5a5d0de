#include "file_lock.h"

#include <cerrno>

#include <sys/file.h>

namespace brindle::link {

bool lockFile(int descriptor, bool wait)
{
    int result;
    do
        result = ::flock(descriptor, LOCK_EX | (wait ? 0 : LOCK_NB));
    while (result != 0 && errno == EINTR);
    return result == 0;
}

void unlockFile(int descriptor) { ::flock(descriptor, LOCK_UN); }

} // namespace brindle::link
