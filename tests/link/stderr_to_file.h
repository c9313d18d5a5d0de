// Standard error sent to a file for a while, to see what the link traces (Unix).
#pragma once

#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace brindle::link::test {

class StderrToFile {
public:
    explicit StderrToFile(const QString& path) : saved_(::dup(2))
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::fflush(stderr);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrToFile()
    {
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
    }
    StderrToFile(const StderrToFile&) = delete;
    StderrToFile& operator=(const StderrToFile&) = delete;

private:
    int saved_;
};

} // namespace brindle::link::test
