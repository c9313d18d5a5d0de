#include "panel.h"

namespace brindle::link {

namespace {

class NoPanel : public Panel {
public:
    void log(const std::string&) override {}
    void messageBox(const std::string&, Icon, const std::string&) override {}
    void beep() override {}
    void setTitle(const std::string&) override {}
    void selectDevice(int) override {}
    void cellsChanged(int, int) override {}
    void markMismatches(const std::vector<CellMismatch>&) override {}
};

} // namespace

Panel& panelOrNone(Panel* panel)
{
    // Stateless, so one serves every thread.
    static NoPanel none;
    return panel ? *panel : none;
}

} // namespace brindle::link
