// What the operator is told by the board operations, as the window shows it: the log, the
// boxes, the beep, the title, the device button and the grid. The main window is one panel;
// the tests' recorder is another. A front end that reports from the outcome alone has none.
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
    // Grid rows firstRow..lastRow were rewritten by READ.
    virtual void cellsChanged(int firstRow, int lastRow) = 0;
    // The cells in which the chip differs from the grid after VERIFY; an empty list clears
    // the marks.
    virtual void markMismatches(const std::vector<CellMismatch>& cells) = 0;
};

// Stands in for the panel a front end did not give: it shows nothing.
Panel& panelOrNone(Panel* panel);

} // namespace brindle::link
