// Unix systems other than Linux: no low-latency flag to ask for, nothing known of the adapter.
#include "adapter_facts.h"
#include "low_latency.h"

#include <cerrno>

namespace brindle::platform {

namespace {

class NoLatencyCalls : public LatencyCalls {
public:
    Flag lowLatency(int) override { return {ENOTTY, false}; }
    int setLowLatency(int, bool) override { return ENOTTY; }
};

} // namespace

std::unique_ptr<LatencyCalls> systemLatencyCalls()
{
    return std::make_unique<NoLatencyCalls>();
}

AdapterFacts adapterFacts(const std::string&, unsigned, const std::string&) { return {}; }

bool programLowersLatency() { return false; }

std::string lastingLatencyAdvice() { return {}; }

} // namespace brindle::platform
