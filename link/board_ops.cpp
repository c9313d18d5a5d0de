#include "board_ops.h"

#include "device_table.h"

#include <algorithm>

namespace brindle::link {

namespace {

constexpr int kBlockBytes = 32;

// The two characters of a block reply that belong to the cell at 0-based `position`:
// fewer when the reply ends sooner, none past its end.
std::string pairAt(const std::string& reply, std::size_t position)
{
    return position < reply.size() ? reply.substr(position, 2) : std::string();
}

} // namespace

BoardOps::BoardOps(SerialLink& link, Panel& panel, image::HexGrid& grid, int& deviceSize, int& programLength)
    : link_(link), panel_(panel), grid_(grid), deviceSize_(deviceSize), programLength_(programLength)
{
}

// Reset_Click
void BoardOps::reset()
{
    if (!link_.open()) {
        // No chip was found: what an earlier RESET found no longer holds.
        deviceSize_ = 0;
        panel_.selectDevice(-1);
        return;
    }
    (void)link_.input(); // stale characters of an earlier exchange
    deviceSize_ = 0;
    panel_.selectDevice(-1);
    link_.output("I");
    link_.serialinput(2);
    for (std::size_t row = 0; row < kDevices.size(); ++row) {
        if (link_.reply == kDevices[row].code) {
            panel_.selectDevice(static_cast<int>(row));
            deviceSize_ = kDevices[row].size;
            break;
        }
    }
    link_.close();
}

struct BoardOps::OneLetter {
    const char* command;
    const char* okLog;
    const char* errorLog;
    const char* errorBox;
    const char* errorTitle;
    const char* systemTitle; // of the "System ERROR" box
};

// Erase_Click
void BoardOps::erase()
{
    oneLetter({"S", "Erase.", "Erase Error !", "Erase ERROR", "", "ERASE"});
}

// Blank_Click
void BoardOps::blank()
{
    oneLetter({"N", "Blank OK !", "Blank Error !", "Blank Check ERROR", "BLANK CHECK", ""});
}

void BoardOps::oneLetter(const OneLetter& op)
{
    reset();
    if (!link_.open())
        return;
    link_.output(op.command);
    link_.serialinput(1);
    link_.close();
    const std::string failure(1, static_cast<char>(op.command[0] - 'A' + 'a'));
    if (link_.reply == op.command) {
        panel_.log(op.okLog);
    } else if (link_.reply == failure) {
        panel_.log(op.errorLog);
        panel_.messageBox(op.errorBox, Icon::Exclamation, op.errorTitle);
    } else {
        panel_.messageBox("System ERROR", Icon::Critical, op.systemTitle);
    }
    panel_.beep();
}

// Lock_Click; the replies are not examined.
void BoardOps::lock(bool lb1, bool lb2, bool lb3)
{
    reset();
    if (!link_.open())
        return;
    if (lb1) {
        link_.output("A");
        link_.serialinput(1);
    }
    if (lb2) {
        link_.output("B");
        link_.serialinput(1);
    }
    if (lb3) {
        link_.output("C");
        link_.serialinput(1);
    }
    link_.close();
    panel_.beep();
}

// Program_Click
void BoardOps::program()
{
    reset();
    if (link_.openFailed())
        return;
    if (deviceSize_ == 0) {
        panel_.messageBox("System ERROR", Icon::Critical, "PROGRAM");
        return;
    }
    const int length = std::clamp(programLength_, 0, image::kImageSize);
    // A cell left empty or half-filled by a failed READ would send a short block: the
    // board would wait for the missing characters and leave the chip half-written.
    const int bad = grid_.firstMalformedCell(length / image::kBytesPerRow);
    if (bad >= 0) {
        panel_.messageBox("Nothing was written: the byte at address " + image::fixedHex(static_cast<unsigned>(bad), 4)
                              + " is not two hexadecimal digits. LOAD or READ the image again.",
                          Icon::Exclamation, "PROGRAM");
        return;
    }
    if (!link_.open())
        return;

    const int blocks = length / kBlockBytes;
    int remaining = length;
    int rowBase = 0;
    bool statusIn = false; // the board answered a block with its status instead of "Q"
    link_.output("W");
    while (remaining > 0) {
        link_.serialinput(1);
        if (link_.reply != "Q") {
            statusIn = true;
            break;
        }
        for (int row = rowBase + 1; row <= rowBase + 2; ++row)
            for (int column = 1; column <= image::kBytesPerRow; ++column)
                link_.output(grid_.text(row, column));
        rowBase += 2;
        remaining -= kBlockBytes;
        panel_.progress(rowBase / 2, blocks);
    }
    if (!statusIn && deviceSize_ != programLength_) {
        link_.serialinput(1); // the board's request for a further block
        // A board that failed the last block answers with its status here: judging the
        // reply to a stray "Z" instead could report the failure as success.
        statusIn = link_.reply != "Q";
        if (!statusIn)
            link_.output("Z");
    }
    if (!statusIn)
        link_.serialinput(1);
    panel_.progress(0, 0);

    if (link_.reply == "W") {
        panel_.log("Write OK !");
        if (programLength_ > deviceSize_)
            panel_.messageBox("The program is " + std::to_string(programLength_) + " bytes long, the chip holds only "
                                  + std::to_string(deviceSize_) + ": the last "
                                  + std::to_string(programLength_ - deviceSize_)
                                  + " bytes (from address " + image::fixedHex(static_cast<unsigned>(deviceSize_), 4)
                                  + ") did not fit into the chip.",
                              Icon::Exclamation, "PROGRAM");
    } else if (link_.reply == "w") {
        panel_.log("Write Error !");
        panel_.messageBox("Write ERROR", Icon::Exclamation, "");
    } else {
        panel_.messageBox("System ERROR", Icon::Critical, "PROGRAM");
    }
    link_.close();
    panel_.beep();
}

void BoardOps::fetchBlocks(const std::function<void(int row, int column, const std::string& pair)>& cell)
{
    const int blocks = std::clamp(deviceSize_, 0, image::kImageSize) / kBlockBytes;
    int rowBase = 0;
    link_.output("R");
    for (int block = 0; block < blocks; ++block) {
        link_.output("T");
        link_.serialinput(64);
        std::size_t position = 0;
        for (int row = rowBase + 1; row <= rowBase + 2; ++row)
            for (int column = 1; column <= image::kBytesPerRow; ++column, position += 2)
                cell(row, column, pairAt(link_.reply, position));
        rowBase += 2;
        panel_.progress(block + 1, blocks);
        if (link_.stalled()) // no more "T"s to a board that stopped answering them
            break;
    }
    link_.serialinput(1);
    panel_.progress(0, 0);
}

// Read_Click
void BoardOps::read()
{
    reset();
    if (!link_.open())
        return;
    panel_.markMismatches({});
    programLength_ = deviceSize_;
    fetchBlocks([&](int row, int column, const std::string& pair) {
        grid_.setText(row, column, pair);
        if (row % 2 == 0 && column == image::kBytesPerRow) // the block's last cell
            panel_.cellsChanged(row - 1, row);
    });

    if (link_.reply == "R") {
        panel_.log("Read OK !");
    } else if (link_.reply == "r") {
        panel_.log("Read Error !");
        panel_.messageBox("Read ERROR", Icon::Exclamation, "");
    } else {
        panel_.messageBox("System ERROR", Icon::Critical, "PROGRAM");
    }
    link_.close();
    panel_.beep();
}

// Verify_Click
void BoardOps::verify()
{
    reset();
    if (!link_.open())
        return;
    std::vector<std::pair<int, int>> mismatches;
    fetchBlocks([&](int row, int column, const std::string& pair) {
        if (grid_.text(row, column) != pair)
            mismatches.emplace_back(row, column);
    });
    // Only a completed exchange tells where the chip differs.
    panel_.markMismatches(link_.reply == "R" ? mismatches : std::vector<std::pair<int, int>>{});

    if (link_.reply == "R" && mismatches.empty()) {
        panel_.log("Verify OK !");
    } else if (link_.reply == "R") {
        panel_.log("Verify Error !");
        panel_.messageBox("Vefify ERROR", Icon::Exclamation, "");
    } else {
        panel_.messageBox("System ERROR", Icon::Critical, "PROGRAM");
    }
    link_.close();
    panel_.beep();
}

} // namespace brindle::link
