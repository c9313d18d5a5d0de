// What the command line shows while an operation runs: the progress of a transfer and the
// waiting for the board. What an operation came to is told from its outcome.
#pragma once

#include "reporter.h"
#include "transfer_monitor.h"

namespace brindle::cli {

class CliMonitor : public link::TransferMonitor {
public:
    CliMonitor(Reporter* reporter, int board) : reporter_(reporter), board_(board) {}

    void progress(int done, int total) override
    {
        if (reporter_)
            reporter_->progress(board_, done, total);
    }
    void idle() override
    {
        if (reporter_)
            reporter_->waiting(board_);
    }

private:
    Reporter* reporter_;
    int board_;
};

} // namespace brindle::cli
