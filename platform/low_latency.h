// The low-latency request a port makes when it opens: the port's low-latency flag, which the
// ftdi_sio driver turns into a 1 ms latency timer, is set while the port is open and put back as
// it was when it closes. Where the system has no such flag (a pseudo-terminal) or refuses it,
// nothing changes.
#pragma once

#include "port.h"

#include <memory>
#include <string>

namespace brindle::platform {

// The system calls behind the request, so that a test sees them without an adapter.
class LatencyCalls {
public:
    struct Flag {
        int error = 0; // the system's error number; 0: the flag was read
        bool on = false;
    };
    virtual ~LatencyCalls() = default;
    virtual Flag lowLatency(int fd) = 0;
    // 0, or the system's error number.
    virtual int setLowLatency(int fd, bool on) = 0;
};

// The platform's calls (chosen in platform/CMakeLists.txt); where there is no flag, every call
// answers ENOTTY.
std::unique_ptr<LatencyCalls> systemLatencyCalls();

class LowLatency {
public:
    // sysRoot: where the adapter's facts are read (see adapterFacts).
    explicit LowLatency(std::unique_ptr<LatencyCalls> calls, std::string sysRoot = "/sys");

    // On opening fd, the port `device`: asks for the flag where it is off, then reads what the
    // adapter's timer has become.
    LatencyReport request(int fd, const std::string& device);
    // On closing: clears the flag where request set it; what became of it, for the trace.
    std::string restore(int fd);

private:
    std::unique_ptr<LatencyCalls> calls_;
    std::string sysRoot_;
    bool setHere_ = false;
};

} // namespace brindle::platform
