// The board operations: RESET, ERASE, BLANK, LOCK, WRITE, READ and VERIFY. Each runs to its
// end and reports through the panel; none returns a status.
#pragma once

#include "code_image.h"
#include "panel.h"
#include "serial_link.h"

#include <functional>
#include <string>

namespace brindle::link {

class BoardOps {
public:
    // deviceSize and programLength are the main window's; the operations read and set them.
    BoardOps(SerialLink& link, Panel& panel, image::HexGrid& grid, int& deviceSize, int& programLength);

    void reset();
    void erase();
    void blank();
    void lock(bool lb1, bool lb2, bool lb3);
    void program();
    void read();
    void verify();

private:
    struct OneLetter;
    // ERASE and BLANK: one letter out, one back, judged by its case.
    void oneLetter(const OneLetter& op);
    // READ and VERIFY after the port is open: "R", then per block "T" and its 64 characters,
    // each cell's pair handed to `cell`; then the status letter.
    void fetchBlocks(const std::function<void(int row, int column, const std::string& pair)>& cell);

    SerialLink& link_;
    Panel& panel_;
    image::HexGrid& grid_;
    int& deviceSize_;
    int& programLength_;
};

} // namespace brindle::link
