#include "device_names.h"

#include <algorithm>
#include <cctype>

namespace brindle::platform {

std::string portPathFor(const std::string& name) { return name; }

// "\\.\COM12" and "com12" are one port.
std::string systemDeviceName(const std::string& path)
{
    std::string name = path.rfind("\\\\.\\", 0) == 0 ? path.substr(4) : path;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return name;
}

bool sameDevice(const std::string& a, const std::string& b) { return systemDeviceName(a) == systemDeviceName(b); }

const HelpWords& helpWords()
{
    static const HelpWords words{"a port as Windows names it: COM3 (Device Manager > Ports lists them)",
                                 "ports the system's\n                         list does not show, COM9",
                                 "a port as Windows names it, COM3",
                                 "examples\\blink.hex",
                                 " Give a full path, e.g. \"%USERPROFILE%\\Documents\\brindle.log\": the "
                                 "shortcuts start in the install folder."};
    return words;
}

} // namespace brindle::platform
