#include "port_advice.h"

#include <QtGlobal>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brindle::link {

namespace {

bool contains(const std::vector<unsigned>& ids, unsigned id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Read and write, as the system judges them: the owner's bits for the owner, the group's for
// its members, the others' for the rest. Root may do anything.
bool mayUse(const DeviceFacts& device, const UserFacts& user)
{
    if (user.uid == 0)
        return true;
    if (user.uid == device.owner)
        return (device.mode & 0600) == 0600;
    if (contains(user.groups, device.group))
        return (device.mode & 060) == 060;
    return (device.mode & 06) == 06;
}

std::string describe(const DeviceFacts& d)
{
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", d.mode & 07777);
    return d.path + " (owner " + (d.ownerName.empty() ? std::to_string(d.owner) : d.ownerName) + ", group "
           + (d.groupName.empty() ? std::to_string(d.group) : d.groupName) + ", mode " + mode + ")";
}

std::string noAccessAdvice(const DeviceFacts& device, const UserFacts& user)
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

std::string inUseAdvice(const std::optional<LockFacts>& lock)
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

std::string openAdvice(OpenRefusal refusal, const PortFacts& facts)
{
    switch (refusal) {
    case OpenRefusal::NotFound:
        return "Check that the programmer's cable or USB serial adapter is plugged in, "
               "then choose the port again.";
    case OpenRefusal::AlreadyOpen:
        return "The port is already open. Close the other program that uses it, then try again.";
    case OpenRefusal::Refused:
        if (facts.device && !mayUse(*facts.device, facts.user))
            return noAccessAdvice(*facts.device, facts.user);
        return inUseAdvice(facts.lock);
    case OpenRefusal::Other:
        break;
    }
    return {};
}

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

#ifdef Q_OS_UNIX

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
#ifdef __linux__
        // The group database as it stands now: a group joined since the login is in it.
        std::vector<gid_t> atLogin(64);
        int n = static_cast<int>(atLogin.size());
        if (::getgrouplist(pw->pw_name, pw->pw_gid, atLogin.data(), &n) < 0) {
            atLogin.resize(static_cast<std::size_t>(std::max(n, 0)));
            if (::getgrouplist(pw->pw_name, pw->pw_gid, atLogin.data(), &n) < 0)
                n = 0;
        }
        atLogin.resize(static_cast<std::size_t>(std::max(n, 0)));
        user.groupsAtLogin.assign(atLogin.begin(), atLogin.end());
#endif
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

#else

PortFacts gatherPortFacts(const std::string&, const std::vector<std::string>&)
{
    return {};
}

#endif

} // namespace brindle::link
