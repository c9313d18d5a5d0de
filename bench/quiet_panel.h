// The benches' panel: keeps the last line the operator would have been told, and nothing else.
#pragma once

#include "panel.h"
#include "transfer_monitor.h"

#include <string>
#include <vector>

namespace brindle::bench {

class QuietPanel : public link::Panel, public link::TransferMonitor {
public:
    void log(const std::string& line) override { lastLog = line; }
    void messageBox(const std::string& text, link::Icon, const std::string&) override { lastLog = "box: " + text; }
    void beep() override {}
    void setTitle(const std::string&) override {}
    void selectDevice(int) override {}
    void cellsChanged(int, int) override {}
    void markMismatches(const std::vector<link::CellMismatch>&) override {}
    void progress(int, int) override {}
    void idle() override {}
    std::string lastLog;
};

} // namespace brindle::bench
