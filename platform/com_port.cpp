#include "com_port.h"

namespace brindle::platform {

void ComPort::select(int commPort)
{
    if (commPort == 1 || commPort == 2)
        commPort_ = commPort;
}

QString ComPort::device(int commPort) const
{
    return (commPort == 1 || commPort == 2) ? devices_[static_cast<std::size_t>(commPort - 1)] : QString();
}

} // namespace brindle::platform
