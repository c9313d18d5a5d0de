// What the system tells of a serial device that would not open: its owner, group and mode, the
// user's account and any lock file. Gathered here, per platform; link words the advice.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::platform {

// The system's answer to the open, as far as it tells.
enum class OpenRefusal {
    NotFound,    // no such device
    Refused,     // no access, or in use: the system gives the same answer for both
    AlreadyOpen, // this process has it open already
    Other,
};

struct DeviceFacts {
    std::string path;
    unsigned owner = 0;
    unsigned group = 0;
    std::string ownerName; // empty: shown as the number
    std::string groupName;
    unsigned mode = 0;     // permission bits, as 0660
};

struct UserFacts {
    std::string name;
    unsigned uid = 0;
    std::vector<unsigned> groups;        // of this session
    std::vector<unsigned> groupsAtLogin; // the account's groups now, taken at the next login
};

struct LockFacts {
    std::string path; // the lock file
    long pid = 0;     // 0 when it names no process
    bool alive = false;
};

struct PortFacts {
    std::optional<DeviceFacts> device; // unknown where the system does not tell
    UserFacts user;
    std::optional<LockFacts> lock;     // the first lock file found for the device
};

// The process number in a lock file: ASCII decimal, padded or not, alone or on the first of
// several lines; or a 4-byte binary number, as old tools wrote it.
[[nodiscard]] std::optional<long> lockFilePid(std::string_view content);

// Folders where serial port lock files ("LCK..ttyUSB0") are kept, in the order looked at.
const std::vector<std::string>& defaultLockFolders();

// The facts for device (Unix; elsewhere only what is known without asking the system).
[[nodiscard]] PortFacts gatherPortFacts(const std::string& device,
                                        const std::vector<std::string>& lockFolders = defaultLockFolders());

// The groups the group database gives the account now, which its next login takes; `session`
// where the system cannot tell (all but Linux).
[[nodiscard]] std::vector<unsigned> groupsAtNextLogin(const char* user, unsigned primaryGroup,
                                                      std::vector<unsigned> session);

} // namespace brindle::platform
