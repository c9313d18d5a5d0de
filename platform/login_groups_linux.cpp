#include "port_facts.h"

#include <algorithm>
#include <grp.h>

namespace brindle::platform {

std::vector<unsigned> groupsAtNextLogin(const char* user, unsigned primaryGroup, std::vector<unsigned>)
{
    // The group database as it stands now: a group joined since the login is in it.
    std::vector<gid_t> atLogin(64);
    int n = static_cast<int>(atLogin.size());
    if (::getgrouplist(user, primaryGroup, atLogin.data(), &n) < 0) {
        atLogin.resize(static_cast<std::size_t>(std::max(n, 0)));
        if (::getgrouplist(user, primaryGroup, atLogin.data(), &n) < 0)
            n = 0;
    }
    atLogin.resize(static_cast<std::size_t>(std::max(n, 0)));
    return {atLogin.begin(), atLogin.end()};
}

} // namespace brindle::platform
