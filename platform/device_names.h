// Serial devices by name: what a name given on the command line opens, the name the system
// knows a device by, and whether two names lead to one device (a /dev/serial/by-id/ link and
// /dev/ttyUSB0, or two spellings of one path).
#pragma once

#include <string>

namespace brindle::platform {

// What brindle-cli opens for -p NAME. On Unix a NAME that is not a path from the root or from
// here ("/...", "./...", "../...") is a file of that name in the current folder where there is
// one, else /dev/NAME; on Windows NAME itself (COM3).
std::string portPathFor(const std::string& name);

// The device a path leads to, links and spellings resolved (/dev/ttyUSB0 for a by-id link),
// which lock files are named after; the path as the serial port would take it where it leads
// nowhere.
std::string systemDeviceName(const std::string& path);

// True when both lead to one device: the same resolved path, or the same device number.
bool sameDevice(const std::string& a, const std::string& b);

// How the help texts name things, in the platform's own spelling.
struct HelpWords {
    const char* portRule;    // how -p takes a name
    const char* candidates;  // what --candidate is for
    const char* comDevice;   // what --com1 takes
    const char* exampleFile; // the example program, from the install or source folder
    const char* logHint;     // what to know about --log FILE, "" or a sentence after a space
};
const HelpWords& helpWords();

} // namespace brindle::platform
