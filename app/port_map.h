// What the port buttons 1 and 2 stand for, changeable while the window runs ("Serial port…"):
// the port the operations use forwards to the device the selected button is mapped to.
#pragma once

#include "port.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>

namespace brindle::app {

class PortMap : public platform::Port {
public:
    // A port whose COM1 and COM2 both stand for device: the one a button mapped to it uses.
    using PortMaker = std::function<std::unique_ptr<platform::Port>(const QString& device)>;

    // base: the port as the command line made it, its buttons standing for `devices`; a button
    // mapped to another device reaches it through a port of `maker`'s.
    PortMap(platform::Port& base, std::array<QString, 2> devices, PortMaker maker);
    ~PortMap() override;

    const std::array<QString, 2>& devices() const { return devices_; }
    // Maps button commPort (1 or 2) to device, until the window closes; the button's starting
    // device maps it back to the base port. Only while the port is closed.
    void map(int commPort, const QString& device);

    void select(int commPort) override;
    int selected() const override { return selected_; }
    std::string deviceName() const override;
    [[nodiscard]] std::optional<platform::OpenFailure> open() override;
    void close() override;
    bool isOpen() const override;
    void output(std::string_view text) override;
    std::string input() override;
    bool waitForInput(int msecs) override;
    platform::LatencyReport latency() const override;

private:
    platform::Port& current() const;

    platform::Port& base_;
    const std::array<QString, 2> baseDevices_;
    std::array<QString, 2> devices_;
    PortMaker maker_;
    std::array<std::unique_ptr<platform::Port>, 2> chosen_; // null: the base port serves the button
    int selected_ = 1;
};

} // namespace brindle::app
