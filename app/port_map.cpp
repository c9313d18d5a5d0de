#include "port_map.h"

namespace brindle::app {

PortMap::PortMap(platform::Port& base, std::array<QString, 2> devices, PortMaker maker)
    : base_(base), baseDevices_(devices), devices_(std::move(devices)), maker_(std::move(maker))
{
    selected_ = base_.selected();
}

PortMap::~PortMap() = default;

void PortMap::map(int commPort, const QString& device)
{
    if (commPort < 1 || commPort > 2 || isOpen())
        return;
    const std::size_t i = std::size_t(commPort - 1);
    devices_[i] = device;
    if (device == baseDevices_[i]) {
        chosen_[i].reset();
        return;
    }
    chosen_[i] = maker_(device);
    chosen_[i]->select(commPort); // its messages name the button
}

platform::Port& PortMap::current() const
{
    const std::unique_ptr<platform::Port>& chosen = chosen_[std::size_t(selected_ - 1)];
    return chosen ? *chosen : base_;
}

void PortMap::select(int commPort)
{
    base_.select(commPort);
    selected_ = base_.selected();
}

std::string PortMap::deviceName() const
{
    return current().deviceName();
}

std::optional<platform::OpenFailure> PortMap::open()
{
    return current().open();
}

void PortMap::close()
{
    current().close();
}

bool PortMap::isOpen() const
{
    return base_.isOpen() || (chosen_[0] && chosen_[0]->isOpen()) || (chosen_[1] && chosen_[1]->isOpen());
}

void PortMap::output(std::string_view text)
{
    current().output(text);
}

std::string PortMap::input()
{
    return current().input();
}

bool PortMap::waitForInput(int msecs)
{
    return current().waitForInput(msecs);
}

platform::LatencyReport PortMap::latency() const
{
    return current().latency();
}

} // namespace brindle::app
