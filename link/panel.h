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

class Panel {
public:
    virtual ~Panel() = default;

    // logMessage = line; msgout.
    virtual void log(const std::string& line) = 0;
    // A modal box with one OK button; returns once the operator has closed it.
    virtual void messageBox(const std::string& text, Icon icon, const std::string& title) = 0;
    virtual void beep() = 0;
    virtual void setTitle(const std::string& title) = 0;
    // Turns on the device option button of the device table's row, or none for -1.
    virtual void selectDevice(int row) = 0;

    // Blocks done out of blocks to do; total 0 ends the display.
    virtual void progress(int done, int total) = 0;
    // Grid rows first..last were rewritten by READ.
    virtual void cellsChanged(int firstRow, int lastRow) = 0;
    // The cells (row, column) in which the chip differs from the grid after VERIFY; an empty
    // list clears the marks.
    virtual void markMismatches(const std::vector<CellMismatch>& cells) = 0;
    // Called now and then while waiting for the board, so a window can repaint.
    virtual void idle() = 0;
};

} // namespace brindle::link
