#include "device_names.h"

#include <climits>
#include <cstdlib>

#include <sys/stat.h>

namespace brindle::platform {

namespace {

bool isPath(const std::string& name)
{
    return name.rfind('/', 0) == 0 || name.rfind("./", 0) == 0 || name.rfind("../", 0) == 0;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

std::string portPathFor(const std::string& name)
{
    if (name.empty() || isPath(name))
        return name;
    return exists(name) ? "./" + name : "/dev/" + name;
}

std::string systemDeviceName(const std::string& path)
{
    // The serial port takes a name that is no path as one under /dev.
    const std::string located = path.empty() || isPath(path) ? path : "/dev/" + path;
    char resolved[PATH_MAX];
    return ::realpath(located.c_str(), resolved) ? std::string(resolved) : located;
}

bool sameDevice(const std::string& a, const std::string& b)
{
    const std::string pathA = systemDeviceName(a), pathB = systemDeviceName(b);
    if (pathA == pathB)
        return true;
    struct stat sa {}, sb {};
    if (::stat(pathA.c_str(), &sa) != 0 || ::stat(pathB.c_str(), &sb) != 0)
        return false;
    // Two device nodes of one device (a copy made with mknod) share its number.
    if (S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) && sa.st_rdev == sb.st_rdev)
        return true;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

const HelpWords& helpWords()
{
    static const HelpWords words{"a NAME that is no path is ./NAME if that exists, else /dev/NAME",
                                 "pseudo-terminals,\n                         odd devices",
                                 "any path, a pseudo-terminal included",
                                 "examples/blink.hex",
                                 ""};
    return words;
}

} // namespace brindle::platform
