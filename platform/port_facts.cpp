#include "port_facts.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace brindle::platform {

std::optional<long> lockFilePid(std::string_view content)
{
    const bool binary = content.size() == 4
                        && std::any_of(content.begin(), content.end(), [](char c) { return c < ' ' && c != '\n'; });
    if (binary) {
        std::int32_t pid = 0;
        std::memcpy(&pid, content.data(), sizeof pid);
        return pid > 0 ? std::optional<long>(pid) : std::nullopt;
    }
    std::size_t i = std::min(content.find_first_not_of(" \t"), content.size());
    long pid = 0;
    const std::size_t first = i;
    for (; i < content.size() && content[i] >= '0' && content[i] <= '9' && i - first < 9; ++i)
        pid = pid * 10 + (content[i] - '0');
    const bool ends = i == content.size() || content[i] == '\n' || content[i] == ' ' || content[i] == '\r';
    if (i == first || !ends || pid <= 0)
        return std::nullopt;
    return pid;
}

const std::vector<std::string>& defaultLockFolders()
{
    static const std::vector<std::string> folders{"/var/lock",     "/run/lock", "/var/spool/locks",
                                                  "/var/spool/uucp", "/etc/locks", "/var/lock/lockdev",
                                                  "/tmp",           "/var/tmp"};
    return folders;
}

} // namespace brindle::platform
