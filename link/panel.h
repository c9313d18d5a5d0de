// What the operator is told by the board operations. The main window is one panel; the
// tests' recorder is another.
#pragma once

#include <string>
#include <vector>

namespace brindle::link {

enum class Icon { Critical = 16, Exclamation = 48 };

// A grid cell in which the chip differs after VERIFY, with what the chip sent for it.
struct CellMismatch {
    int row = 0;
    int column = 0;
    std::string chip;
};

// Each call does nothing unless overridden: a front end that reports from the outcome alone
// takes only what it shows as the operation goes.
class Panel {
public:
    virtual ~Panel() = default;

    // logMessage = line; msgout.
    virtual void log(const std::string&) {}
    // A modal box with one OK button; returns once the operator has closed it.
    virtual void messageBox(const std::string&, Icon, const std::string&) {}
    virtual void beep() {}
    virtual void setTitle(const std::string&) {}
    // Turns on the device option button of the device table's row, or none for -1.
    virtual void selectDevice(int) {}

    // Blocks done out of blocks to do; total 0 ends the display.
    virtual void progress(int, int) {}
    // Grid rows first..last were rewritten by READ.
    virtual void cellsChanged(int, int) {}
    // The cells (row, column) in which the chip differs from the grid after VERIFY; an empty
    // list clears the marks.
    virtual void markMismatches(const std::vector<CellMismatch>&) {}
    // Called now and then while waiting for the board, so a window can repaint.
    virtual void idle() {}
};

} // namespace brindle::link
