// The board operations: RESET, ERASE, BLANK, LOCK, WRITE, READ and VERIFY. Each runs to its
// end and reports through the panel, as the window has always shown it, and returns what it
// came to for a front end that reports in its own way. The monitor sees the transfer go.
#pragma once

#include "code_image.h"
#include "outcome.h"
#include "panel.h"
#include "serial_link.h"
#include "session.h"
#include "transfer_monitor.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace brindle::link {

class BoardOps {
public:
    // panel: null where the front end reports from the outcome alone.
    BoardOps(SerialLink& link, TransferMonitor& monitor, Panel* panel, image::HexGrid& grid, Session& session);

    // Set by another thread (Ctrl-C) to end a transfer between blocks; null: never.
    // The same flag ends any wait for the board at once: the operation ends as interrupted.
    void setInterruptFlag(const std::atomic<bool>* flag)
    {
        interrupt_ = flag;
        link_.setInterruptFlag(flag);
    }
    // What the outcome's words call the board. Empty (the default): by the port it is on,
    // "The board on COM1 (/dev/ttyUSB0)"; a front end that names the port on each line of its
    // own gives "The board".
    void setBoardName(std::string name) { boardName_ = std::move(name); }

    // Runs in WRITE once the chip is identified and before anything is sent: a chip's own data
    // (a serial number) goes into the grid here. An outcome stops the write with it.
    using BeforeWrite = std::function<std::optional<Outcome>()>;
    void setBeforeWrite(BeforeWrite hook) { beforeWrite_ = std::move(hook); }

    Outcome reset();
    Outcome erase();
    Outcome blank();
    Outcome lock(bool lb1, bool lb2, bool lb3);
    Outcome program();
    Outcome read();
    Outcome verify();

private:
    struct OneLetter;
    // ERASE and BLANK: one letter out, one back, judged by its case.
    Outcome oneLetter(const OneLetter& op);

    // WRITE's steps.
    bool refuseWrite(Outcome& outcome);
    // The write's status when the board answered a block's turn with it instead of "Q".
    std::optional<Reply> sendBlocks(int length, Outcome& outcome);
    void sendBlock(int rowBase);
    Reply askWriteStatus();
    void reportWrite(const Reply& status, Outcome& outcome);

    // READ and VERIFY after the port is open: "R", then per block "T" and its 64 characters,
    // each cell's pair handed to `cell`; then the status letter, which it returns. Notes the
    // first block that came back short or malformed. Interrupted, it closes the port itself;
    // stopped before the first block, the reply it tells is the identification's.
    Reply fetchBlocks(const std::string& identified,
                      const std::function<void(int row, int column, const std::string& pair)>& cell, Outcome& outcome);

    // What a reply that is none of the expected letters means: silence, a hang-up, or an
    // answer outside the protocol.
    Outcome linkFailure(const Reply& reply, const std::string& what) const;
    Outcome portFailure(Operation operation) const;
    Outcome transferFailure(Outcome outcome);
    // An operation's outcome once the identification found no chip: nothing was done to one,
    // whatever the board answered.
    Outcome withoutChip(Outcome outcome, const Outcome& identification) const;
    Outcome done(Operation operation, Outcome outcome) const;
    // A stop asked for while the board was waited for: the port is closed, nothing is judged.
    Outcome stopped(Operation operation, const Reply& reply, const std::string& detail, int bytes = 0);
    std::string board() const;
    bool interrupted() const { return interrupt_ && interrupt_->load(); }

    SerialLink& link_;
    TransferMonitor& monitor_;
    Panel& panel_;
    image::HexGrid& grid_;
    Session& session_;
    const std::atomic<bool>* interrupt_ = nullptr;
    std::string boardName_;
    BeforeWrite beforeWrite_;
};

} // namespace brindle::link
