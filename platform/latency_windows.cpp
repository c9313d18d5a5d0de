// Windows: an FTDI adapter's latency timer is a setting of its driver, which the program leaves
// to the user; the adapter is known by its USB vendor id.
#include "adapter_facts.h"

namespace brindle::platform {

AdapterFacts adapterFacts(const std::string&, unsigned usbVendor, const std::string&)
{
    AdapterFacts facts;
    facts.ftdi = usbVendor == 0x0403;
    return facts;
}

bool programLowersLatency() { return false; }

std::string lastingLatencyAdvice()
{
    return "Its latency timer (16 ms unless changed) is a setting of the FTDI driver; 1 ms makes transfers "
           "faster: Device Manager > Ports > the adapter > Port Settings > Advanced > Latency Timer.";
}

} // namespace brindle::platform
