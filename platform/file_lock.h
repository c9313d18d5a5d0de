// A lock on an open file or device, seen by every program that locks the same file whatever
// name it opened it by, and released when the file is closed. On Windows it locks files only:
// a COM port opens for one program at a time, and there it always succeeds.
#pragma once

#include <string>

namespace brindle::platform {

// An exclusive lock on the open file `descriptor`; with wait, until another holder lets go,
// else false at once while another holds it.
[[nodiscard]] bool lockFile(int descriptor, bool wait);
void unlockFile(int descriptor);

// A named pipe (FIFO) opened for writing without waiting for a program to read it: a pipe
// nobody reads would otherwise hold the open, and the stop signals with it, for ever.
enum class PipeOpen {
    NotPipe,  // anything else: open it as usual
    NoReader, // no program is reading it
    Opened,   // *descriptor is the pipe, writing to it waits as usual from here on
};
[[nodiscard]] PipeOpen openPipeForWriting(const std::string& path, int* descriptor);

// A lock on a device itself, whatever name it is opened by (a link, a bind mount, a second node
// made with mknod): a file in the system's lock folder named after the device's number, locked
// while held and holding this process's number. A program that ends without releasing it
// releases it all the same; the file is removed on release and on an abrupt end by a signal.
// On Windows a COM port opens for one program at a time, and taking it always succeeds.
class DeviceLock {
public:
    DeviceLock() = default;
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;
    ~DeviceLock() { release(); }

    // False while another process holds the device: *holder is its number (0 where unknown)
    // and *file the lock file. True also where nothing can be locked (no such device, no lock
    // folder): the open that follows says what is wrong.
    [[nodiscard]] bool take(const std::string& device, long* holder, std::string* file);
    void release();

private:
    int descriptor_ = -1;
    std::string file_;
};

} // namespace brindle::platform
