// Linux: the port's low-latency flag through TIOCGSERIAL / TIOCSSERIAL, which any user who may
// open the port may set; the adapter's driver and latency timer from sysfs.
#include "adapter_facts.h"
#include "low_latency.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace brindle::platform {

namespace {

namespace fs = std::filesystem;

class LinuxLatencyCalls : public LatencyCalls {
public:
    Flag lowLatency(int fd) override
    {
        serial_struct serial{};
        if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
            return {errno, false};
        return {0, (serial.flags & ASYNC_LOW_LATENCY) != 0};
    }

    int setLowLatency(int fd, bool on) override
    {
        // The rest of the port's settings go back as they were read.
        serial_struct serial{};
        if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
            return errno;
        serial.flags = on ? serial.flags | ASYNC_LOW_LATENCY : serial.flags & ~ASYNC_LOW_LATENCY;
        return ::ioctl(fd, TIOCSSERIAL, &serial) == 0 ? 0 : errno;
    }
};

constexpr unsigned kFtdiVendor = 0x0403;

} // namespace

std::unique_ptr<LatencyCalls> systemLatencyCalls()
{
    return std::make_unique<LinuxLatencyCalls>();
}

AdapterFacts adapterFacts(const std::string& device, unsigned usbVendor, const std::string& sysRoot)
{
    AdapterFacts facts;
    std::error_code error;
    // A link such as /dev/serial/by-id/... names the device by its own name in sysfs.
    const fs::path real = fs::canonical(device, error);
    const std::string name = (error ? fs::path(device) : real).filename().string();
    if (!name.empty()) {
        const fs::path driver = fs::read_symlink(fs::path(sysRoot) / "class/tty" / name / "device/driver", error);
        if (!error)
            facts.driver = driver.filename().string();
    }
    facts.ftdi = facts.driver == "ftdi_sio" || usbVendor == kFtdiVendor;
    if (facts.ftdi && !name.empty()) {
        std::ifstream file(fs::path(sysRoot) / "bus/usb-serial/devices" / name / "latency_timer");
        int ms = 0;
        if (file >> ms && ms > 0)
            facts.latencyTimerMs = ms;
    }
    return facts;
}

bool programLowersLatency() { return true; }

std::string lastingLatencyAdvice()
{
    return "To make 1 ms permanent, put this line in /etc/udev/rules.d/99-ftdi-latency.rules (as root) and "
           "plug the adapter in again:\n"
           "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\"";
}

} // namespace brindle::platform
