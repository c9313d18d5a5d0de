// The board operations' panel on the command line: only the progress of a transfer is
// shown; what an operation came to is told from its outcome, not from its boxes.
#pragma once

#include "panel.h"
#include "reporter.h"

namespace brindle::cli {

class CliPanel : public link::Panel {
public:
    CliPanel(Reporter* reporter, int board) : reporter_(reporter), board_(board) {}

    void log(const std::string&) override {}
    void messageBox(const std::string&, link::Icon, const std::string&) override {}
    void beep() override {}
    void setTitle(const std::string&) override {}
    void selectDevice(int) override {}
    void progress(int done, int total) override
    {
        if (reporter_)
            reporter_->progress(board_, done, total);
    }
    void cellsChanged(int, int) override {}
    void markMismatches(const std::vector<link::CellMismatch>&) override {}
    void idle() override {}

private:
    Reporter* reporter_;
    int board_;
};

} // namespace brindle::cli
