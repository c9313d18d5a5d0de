#include "port_advice.h"

#include <algorithm>
#include <cstdio>

namespace brindle::link {

namespace {

bool contains(const std::vector<unsigned>& ids, unsigned id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Read and write, as the system judges them: the owner's bits for the owner, the group's for
// its members, the others' for the rest. Root may do anything.
bool mayUse(const platform::DeviceFacts& device, const platform::UserFacts& user)
{
    if (user.uid == 0)
        return true;
    if (user.uid == device.owner)
        return (device.mode & 0600) == 0600;
    if (contains(user.groups, device.group))
        return (device.mode & 060) == 060;
    return (device.mode & 06) == 06;
}

std::string describe(const platform::DeviceFacts& d)
{
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", d.mode & 07777);
    return d.path + " (owner " + (d.ownerName.empty() ? std::to_string(d.owner) : d.ownerName) + ", group "
           + (d.groupName.empty() ? std::to_string(d.group) : d.groupName) + ", mode " + mode + ")";
}

std::string noAccessAdvice(const platform::DeviceFacts& device, const platform::UserFacts& user)
{
    const std::string group = device.groupName.empty() ? std::to_string(device.group) : device.groupName;
    // A root group is no group to join: membership would open much more than the port.
    const bool groupOpensIt = device.group != 0 && (device.mode & 060) == 060 && device.owner != user.uid;
    if (!groupOpensIt)
        return describe(device) + " is closed to your account and its groups, so joining a group would not help. "
               "A udev rule or the administrator must open it to you (for example with the group dialout and "
               "mode 0660).";
    if (contains(user.groupsAtLogin, device.group))
        return "Your account may not use " + describe(device) + " yet: it has joined the group " + group
               + ", which may use it, since this session began. Log out and in again.";
    return "Your account may not use " + describe(device) + ". Members of the group " + group
           + " may: join it (the administrator runs: usermod -aG " + group + " "
           + (user.name.empty() ? std::string("YOUR-NAME") : user.name) + "), then log out and in again.";
}

std::string inUseAdvice(const std::optional<platform::LockFacts>& lock)
{
    const std::string close = "Close the other program that uses it, then try again.";
    if (!lock)
        return "The port is in use. " + close;
    if (lock->pid <= 0)
        return "The port is in use: the lock file " + lock->path + " names no process. " + close
               + " If no program uses it, delete that file.";
    const std::string pid = std::to_string(lock->pid);
    if (!lock->alive)
        return "The port is locked by the file " + lock->path + ", left by process " + pid
               + ", which no longer runs. Delete that file, then try again.";
    return "The port is in use by process " + pid + " (lock file " + lock->path + "). " + close;
}

} // namespace

std::string openAdvice(platform::OpenRefusal refusal, const platform::PortFacts& facts)
{
    switch (refusal) {
    case platform::OpenRefusal::NotFound:
        return "Check that the programmer's cable or USB serial adapter is plugged in, "
               "then choose the port again.";
    case platform::OpenRefusal::AlreadyOpen:
        return "The port is already open. Close the other program that uses it, then try again.";
    case platform::OpenRefusal::Refused:
        if (facts.device && !mayUse(*facts.device, facts.user))
            return noAccessAdvice(*facts.device, facts.user);
        return inUseAdvice(facts.lock);
    case platform::OpenRefusal::Other:
        break;
    }
    return {};
}

std::optional<platform::OpenFailure> advised(std::optional<platform::OpenFailure> failure)
{
    if (failure && failure->advice.empty())
        failure->advice = openAdvice(failure->refusal, failure->facts);
    return failure;
}

} // namespace brindle::link
