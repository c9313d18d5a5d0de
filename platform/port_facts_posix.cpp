#include "port_facts.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle::platform {

namespace {

// "/dev/ttyUSB0" -> "LCK..ttyUSB0"; "/dev/pts/3" -> "LCK..pts_3".
std::string lockName(std::string path)
{
    if (path.rfind("/dev/", 0) == 0)
        path.erase(0, 5);
    std::replace(path.begin(), path.end(), '/', '_');
    return "LCK.." + path;
}

std::optional<LockFacts> findLock(const std::string& device, const std::vector<std::string>& folders)
{
    std::vector<std::string> names{lockName(device)};
    // Other programs lock the device by its own name, not by a link to it (/dev/serial/by-id/...).
    if (char* real = ::realpath(device.c_str(), nullptr)) {
        if (lockName(real) != names[0])
            names.push_back(lockName(real));
        std::free(real);
    }
    for (const std::string& folder : folders) {
        for (const std::string& name : names) {
            const std::string path = folder + "/" + name;
            std::ifstream file(path, std::ios::binary);
            if (!file)
                continue;
            char content[128];
            file.read(content, sizeof content);
            LockFacts lock{path, lockFilePid(std::string_view(content, static_cast<std::size_t>(file.gcount())))
                                     .value_or(0), false};
            // EPERM: the process runs under another user.
            lock.alive = lock.pid > 0 && (::kill(static_cast<pid_t>(lock.pid), 0) == 0 || errno == EPERM);
            return lock;
        }
    }
    return std::nullopt;
}

UserFacts currentUser()
{
    UserFacts user;
    user.uid = ::geteuid();
    user.groups.push_back(::getegid());
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0 && ::getgroups(count, groups.data()) == count)
        user.groups.insert(user.groups.end(), groups.begin(), groups.end());
    user.groupsAtLogin = user.groups;
    if (const passwd* pw = ::getpwuid(user.uid)) {
        user.name = pw->pw_name;
        user.groupsAtLogin = groupsAtNextLogin(pw->pw_name, pw->pw_gid, user.groups);
    }
    return user;
}

} // namespace

PortFacts gatherPortFacts(const std::string& device, const std::vector<std::string>& lockFolders)
{
    PortFacts facts;
    facts.user = currentUser();
    struct stat st {};
    if (::stat(device.c_str(), &st) == 0) {
        DeviceFacts d{device, st.st_uid, st.st_gid, {}, {}, static_cast<unsigned>(st.st_mode & 07777)};
        if (const passwd* pw = ::getpwuid(st.st_uid))
            d.ownerName = pw->pw_name;
        if (const group* gr = ::getgrgid(st.st_gid))
            d.groupName = gr->gr_name;
        facts.device = d;
    }
    facts.lock = findLock(device, lockFolders);
    return facts;
}

} // namespace brindle::platform
