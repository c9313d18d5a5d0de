#include "port_facts.h"

namespace brindle::platform {

// Windows tells no owner, group or lock file of a COM port: the port words its own advice.
PortFacts gatherPortFacts(const std::string&, const std::vector<std::string>&)
{
    return {};
}

} // namespace brindle::platform
