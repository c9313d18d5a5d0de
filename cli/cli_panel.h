// The board operations' panel on the command line: only the progress of a transfer and the
// waiting for the board are shown; what an operation came to is told from its outcome.
#pragma once

#include "panel.h"
#include "reporter.h"

namespace brindle::cli {

class CliPanel : public link::Panel {
public:
    CliPanel(Reporter* reporter, int board) : reporter_(reporter), board_(board) {}

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
