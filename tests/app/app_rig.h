// What the window tests share: a scripted operator, HEX file helpers and a window whose
// COM1 names a device no board action of these tests reaches.
#pragma once

#include "hex_grid_view.h"
#include "hex_record.h"
#include "main_window.h"
#include "operator.h"
#include "system_port.h"

#include <QtTest>
#include <QtWidgets>

#include <deque>
#include <functional>
#include <vector>

namespace brindle::app {

// Answers the file dialog from a queue (an empty queue cancels) and records the boxes.
class ScriptedOperator : public Operator {
public:
    std::deque<std::optional<QString>> files;
    std::vector<FileMode> dialogs;
    QStringList boxes;
    int beeps = 0;
    std::function<void()> onBox; // runs while a box stands open
    // "Serial port…": the answers (an empty queue cancels), and what each dialog was offered.
    std::deque<std::optional<std::array<QString, 2>>> portChoices;
    std::vector<std::array<QString, 2>> offeredMappings;
    std::vector<SerialPortEntry> offeredPorts;

    std::optional<QString> chooseFile(FileMode mode) override
    {
        dialogs.push_back(mode);
        if (files.empty())
            return std::nullopt;
        std::optional<QString> answer; // swapped out: GCC sees a copy as maybe-uninitialized
        answer.swap(files.front());
        files.pop_front();
        return answer;
    }
    void messageBox(const QString& text, link::Icon, const QString&) override
    {
        boxes.push_back(text);
        if (onBox)
            onBox();
    }
    void beep() override { ++beeps; }
    std::optional<std::array<QString, 2>> choosePorts(const std::array<QString, 2>& current,
                                                      const std::vector<SerialPortEntry>& ports) override
    {
        offeredMappings.push_back(current);
        offeredPorts = ports;
        if (portChoices.empty())
            return std::nullopt;
        const std::optional<std::array<QString, 2>> answer = portChoices.front();
        portChoices.pop_front();
        return answer;
    }
};

inline const QByteArray kEndRecord = ":00000001FF\r\n";

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

struct WindowRig {
    std::unique_ptr<platform::Port> port = platform::makeSystemPort({QStringLiteral("/dev/ttyUSB0"), QString()});
    ScriptedOperator op;
    Form1 form{*port, op, {QStringLiteral("/dev/ttyUSB0"), QString()}};
};

} // namespace brindle::app
