#include "file_lock.h"

#include <windows.h>
#include <io.h>

namespace brindle::platform {

namespace {

HANDLE nativeHandle(int descriptor)
{
    return descriptor < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

} // namespace

// A file (the record) is locked whole, so that programs appending to it take turns; a
// handle that cannot be locked (a COM port opens for one program at a time anyway) counts as
// locked.
bool lockFile(int descriptor, bool wait)
{
    const HANDLE handle = nativeHandle(descriptor);
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK)
        return true;
    OVERLAPPED whole{};
    return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY), 0, MAXDWORD,
                      MAXDWORD, &whole);
}

void unlockFile(int descriptor)
{
    const HANDLE handle = nativeHandle(descriptor);
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK)
        return;
    OVERLAPPED whole{};
    UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
}

// Windows has no FIFOs in the file system; its named pipes are no path a user gives here.
PipeOpen openPipeForWriting(const std::string&, int*) { return PipeOpen::NotPipe; }

bool DeviceLock::take(const std::string&, long*, std::string*) { return true; }

void DeviceLock::release() {}

} // namespace brindle::platform
