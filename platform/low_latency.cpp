#include "low_latency.h"

#include "adapter_facts.h"

#include <cstring>
#include <utility>

namespace brindle::platform {

LowLatency::LowLatency(std::unique_ptr<LatencyCalls> calls, std::string sysRoot)
    : calls_(std::move(calls)), sysRoot_(std::move(sysRoot))
{
}

LatencyReport LowLatency::request(int fd, const std::string& device)
{
    LatencyReport report;
    setHere_ = false;
    const LatencyCalls::Flag flag = calls_->lowLatency(fd);
    if (flag.error != 0) {
        report.refusal = std::strerror(flag.error);
        report.note = "not available (" + report.refusal + ")";
    } else if (flag.on) {
        report.on = true;
        report.note = "on already";
    } else {
        report.asked = true;
        if (const int error = calls_->setLowLatency(fd, true); error != 0) {
            report.refusal = std::strerror(error);
            report.note = "asked, refused (" + report.refusal + ")";
        } else {
            report.on = setHere_ = true;
            report.note = "asked, granted";
        }
    }
    const AdapterFacts facts = adapterFacts(device, 0, sysRoot_);
    report.driver = facts.driver;
    report.timerMs = facts.latencyTimerMs;
    if (!facts.driver.empty())
        report.note += "; driver " + facts.driver;
    if (facts.latencyTimerMs)
        report.note += ", latency timer " + std::to_string(*facts.latencyTimerMs) + " ms";
    return report;
}

std::string LowLatency::restore(int fd)
{
    if (!std::exchange(setHere_, false))
        return {};
    const int error = calls_->setLowLatency(fd, false);
    return error == 0 ? "flag cleared" : "flag not cleared (" + std::string(std::strerror(error)) + ")";
}

} // namespace brindle::platform
