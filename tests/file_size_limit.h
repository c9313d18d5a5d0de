// A file system that fills up, within the test process (Unix): while it lives, no file may grow
// past a length. Root passes file modes but not this limit; SIGXFSZ is ignored, so the write
// fails with EFBIG ("File too large") instead of the signal ending the test.
#pragma once

#include <csignal>

#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(long long bytes) : previous_(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = rlim_t(bytes);
        set_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool isSet() const { return set_; }

private:
    rlimit saved_{};
    void (*previous_)(int);
    bool set_ = false;
};
