// Standard error sent to a file for a while, to see what the link traces (Unix).
#pragma once

#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace brindle::link::test {

struct StderrToFile {
    explicit StderrToFile(const QString& path) : saved(::dup(2))
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::fflush(stderr);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrToFile()
    {
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
    }
    const int saved;
};

} // namespace brindle::link::test
