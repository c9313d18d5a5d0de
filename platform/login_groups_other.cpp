#include "port_facts.h"

namespace brindle::platform {

std::vector<unsigned> groupsAtNextLogin(const char*, unsigned, std::vector<unsigned> session)
{
    return session;
}

} // namespace brindle::platform
