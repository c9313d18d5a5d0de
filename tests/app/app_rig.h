// What the window tests share: a scripted operator, a fake board behind a fake port, and
// HEX file helpers. No display and no serial device is needed.
#pragma once

#include "main_window.h"
#include "operator.h"
#include "port.h"

#include <QFile>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brindle::app {

// Answers the file dialog from a queue (an empty queue cancels) and records what the
// window told the operator.
class ScriptedOperator : public Operator {
public:
    struct Box {
        QString text;
        link::Icon icon;
        QString title;
    };
    std::deque<std::optional<QString>> files;
    std::vector<FileMode> dialogs;
    std::vector<Box> boxes;
    int beeps = 0;

    std::optional<QString> chooseFile(FileMode mode) override
    {
        dialogs.push_back(mode);
        if (files.empty())
            return std::nullopt;
        std::optional<QString> answer;
        answer.swap(files.front());
        files.pop_front();
        return answer;
    }
    void messageBox(const QString& text, link::Icon icon, const QString& title) override
    {
        boxes.push_back({text, icon, title});
    }
    void beep() override { ++beeps; }
};

// A board with a 1 KB chip (AT89C1051) that answers at once: erased flash, every command
// succeeds. It records the commands it received, block data left out.
class FakeBoardPort : public link::Port {
public:
    std::string chipCode = "11";
    int chipSize = 1024;
    std::vector<std::string> commands;
    std::function<void()> onCommand; // runs as each command arrives

    void select(int commPort) override { commPort_ = commPort; }
    int selected() const override { return commPort_; }
    std::string deviceName() const override { return "fake"; }
    std::optional<link::OpenFailure> open() override
    {
        open_ = true;
        return std::nullopt;
    }
    void close() override
    {
        open_ = false;
        pending_.clear();
        writing_ = false;
    }
    bool isOpen() const override { return open_; }
    void output(std::string_view text) override
    {
        for (char c : text)
            receive(c);
    }
    std::string input() override { return std::exchange(pending_, {}); }
    bool waitForInput(int) override { return !pending_.empty(); }

    // The commands with runs of "T" folded into one.
    std::string transcript() const
    {
        std::string out;
        for (std::size_t i = 0; i < commands.size(); ++i)
            if (i == 0 || commands[i] != "T" || commands[i - 1] != "T")
                out += commands[i];
        return out;
    }

private:
    void receive(char c)
    {
        if (writing_ && c != 'Z') {
            if (++blockChars_ == 64) {
                blockChars_ = 0;
                blocks_ += 1;
                const bool full = blocks_ * 32 >= chipSize;
                pending_ += full ? "W" : "Q";
                writing_ = !full;
            }
            return;
        }
        commands.emplace_back(1, c);
        if (onCommand)
            onCommand();
        switch (c) {
        case 'I': pending_ += chipCode; break;
        case 'S': case 'N': case 'A': case 'B': case 'C': pending_ += c; break;
        case 'W': writing_ = true; blocks_ = blockChars_ = 0; pending_ += "Q"; break;
        case 'Z': writing_ = false; pending_ += "W"; break;
        case 'R': blocks_ = 0; break;
        case 'T':
            pending_ += std::string(64, 'F');
            if (++blocks_ * 32 >= chipSize)
                pending_ += "R";
            break;
        default: break;
        }
    }

    int commPort_ = 1;
    bool open_ = false;
    bool writing_ = false;
    int blocks_ = 0;
    int blockChars_ = 0;
    std::string pending_;
};

// One Intel HEX data record (type 00) with its checksum.
inline QByteArray hexRecord(int address, const QByteArray& bytes, int type = 0)
{
    QByteArray line = ":";
    int sum = int(bytes.size()) + (address >> 8) + (address & 0xFF) + type;
    line += QByteArray::number(int(bytes.size()), 16).rightJustified(2, '0');
    line += QByteArray::number(address, 16).rightJustified(4, '0');
    line += QByteArray::number(type, 16).rightJustified(2, '0');
    for (char b : bytes) {
        sum += static_cast<unsigned char>(b);
        line += QByteArray::number(static_cast<unsigned char>(b), 16).rightJustified(2, '0');
    }
    line += QByteArray::number((-sum) & 0xFF, 16).rightJustified(2, '0');
    return line.toUpper() + "\r\n";
}

inline const QByteArray kEndRecord = ":00000001FF\r\n";

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

struct WindowRig {
    FakeBoardPort port;
    ScriptedOperator op;
    std::unique_ptr<Form1> form;

    explicit WindowRig(std::array<QString, 2> devices = {QStringLiteral("/dev/ttyUSB0"), QString()})
        : form(std::make_unique<Form1>(port, op, devices))
    {
        form->serialLink().setTimeout(std::chrono::milliseconds(50));
    }
};

} // namespace brindle::app
