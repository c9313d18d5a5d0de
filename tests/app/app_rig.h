// What the window tests share: an operator whose answers come from queues (an empty queue
// cancels) and who notes what was shown, and a window whose COM1 names a device no board
// action of these tests reaches.
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

namespace brindle::app {

class ScriptedOperator : public Operator {
public:
    std::deque<std::optional<QString>> files;
    std::deque<std::optional<std::array<QString, 2>>> portChoices;
    std::vector<FileMode> dialogs;
    std::vector<std::array<QString, 2>> offeredMappings;
    std::vector<SerialPortEntry> offeredPorts;
    QStringList boxes;
    int beeps = 0;
    std::function<void()> onBox; // runs while a box stands open

    template <typename T>
    static std::optional<T> next(std::deque<std::optional<T>>& queue)
    {
        if (queue.empty())
            return std::nullopt;
        std::optional<T> answer; // swapped out: GCC sees a copy as maybe-uninitialized
        answer.swap(queue.front());
        queue.pop_front();
        return answer;
    }
    std::optional<QString> chooseFile(FileMode mode) override
    {
        dialogs.push_back(mode);
        return next(files);
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
        return next(portChoices);
    }
};

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
