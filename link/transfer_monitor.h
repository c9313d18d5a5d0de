// What a front end sees of an operation while it runs: how far a transfer has got, and the
// waits for the board. The window, the command line and the tests' recorder each watch it.
#pragma once

namespace brindle::link {

class TransferMonitor {
public:
    virtual ~TransferMonitor() = default;

    // Blocks done out of blocks to do; total 0 ends the display.
    virtual void progress(int done, int total) = 0;
    // Called now and then while waiting for the board, so a window can repaint.
    virtual void idle() = 0;
};

} // namespace brindle::link
