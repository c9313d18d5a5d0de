#include "file_lock.h"

#include "stop_signals.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace brindle::platform {

namespace {

// The one folder every user's programs look in, the same for all of them.
std::string lockFolder()
{
    for (const char* folder : {"/run/lock", "/var/lock", "/tmp"})
        if (::access(folder, W_OK | X_OK) == 0)
            return folder;
    return {};
}

// Named after the device's number: every node of one device has it. A file that is no device
// (a test's stand-in) is named after its inode.
std::string lockName(const struct stat& st)
{
    char name[96];
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        std::snprintf(name, sizeof name, "LCK.brindle.dev.%u.%u", unsigned(major(st.st_rdev)), unsigned(minor(st.st_rdev)));
    else
        std::snprintf(name, sizeof name, "LCK.brindle.ino.%llu.%llu", static_cast<unsigned long long>(st.st_dev),
                      static_cast<unsigned long long>(st.st_ino));
    return name;
}

long holderOf(int descriptor)
{
    char text[32] = {};
    const ssize_t n = ::pread(descriptor, text, sizeof text - 1, 0);
    return n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

} // namespace

bool lockFile(int descriptor, bool wait)
{
    int result;
    do
        result = ::flock(descriptor, LOCK_EX | (wait ? 0 : LOCK_NB));
    while (result != 0 && errno == EINTR);
    return result == 0;
}

void unlockFile(int descriptor) { ::flock(descriptor, LOCK_UN); }

PipeOpen openPipeForWriting(const std::string& path, int* descriptor)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode))
        return PipeOpen::NotPipe;
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENXIO ? PipeOpen::NoReader : PipeOpen::NotPipe;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *descriptor = fd;
    return PipeOpen::Opened;
}

bool DeviceLock::take(const std::string& device, long* holder, std::string* file)
{
    release();
    struct stat st {};
    const std::string folder = lockFolder();
    if (::stat(device.c_str(), &st) != 0 || folder.empty())
        return true;
    const std::string path = folder + "/" + lockName(st);
    // The last holder may remove the file between this open and the lock: then lock anew.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) // another user's file, where this one may only read it
            fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return true;
        // Whoever comes next, under any account, may take it over once it is free.
        (void)::fchmod(fd, 0666);
        if (!lockFile(fd, false)) {
            *holder = holderOf(fd);
            *file = path;
            ::close(fd);
            return false;
        }
        struct stat held {}, named {};
        if (::fstat(fd, &held) != 0 || ::stat(path.c_str(), &named) != 0 || held.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        char pid[24];
        const int n = std::snprintf(pid, sizeof pid, "%10ld\n", static_cast<long>(::getpid()));
        if (::ftruncate(fd, 0) == 0)
            (void)!::pwrite(fd, pid, std::size_t(n), 0);
        descriptor_ = fd;
        file_ = path;
        removeOnAbruptEnd(file_);
        return true;
    }
    return true;
}

void DeviceLock::release()
{
    if (descriptor_ < 0)
        return;
    forgetOnAbruptEnd(file_);
    ::unlink(file_.c_str()); // still locked: nobody takes it over in between
    ::close(descriptor_);
    descriptor_ = -1;
    file_.clear();
}

} // namespace brindle::platform
