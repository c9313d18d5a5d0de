// Test doubles of the link: a panel that records what the operator is told, a port whose
// replies arrive in scripted chunks, and a small scripted board firmware behind it.
#pragma once

#include "panel.h"
#include "port.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace brindle::link::test {

// Everything the operator meets, plus the port's closes, in order: "log:Erase.",
// "box:16:ERASE:System ERROR", "close", "beep".
class RecordingPanel : public Panel {
public:
    void log(const std::string& line) override { events.push_back("log:" + line); }
    void messageBox(const std::string& text, Icon icon, const std::string& title) override
    {
        events.push_back("box:" + std::to_string(static_cast<int>(icon)) + ":" + title + ":" + text);
    }
    void beep() override { events.push_back("beep"); }
    void setTitle(const std::string& t) override { title = t; }
    void selectDevice(int row) override { device = row; }
    void progress(int done, int total) override { lastProgress = {done, total}; ++progressCalls; }
    void cellsChanged(int firstRow, int lastRow) override { changedRows.emplace_back(firstRow, lastRow); }
    void markMismatches(const std::vector<std::pair<int, int>>& cells) override
    {
        marks = cells;
        events.push_back("marks:" + std::to_string(cells.size()));
    }
    void idle() override { ++idleCalls; }

    // The events other than the marks, joined by "|".
    QString outcome() const
    {
        QStringList kept;
        for (const auto& e : events)
            if (e.rfind("marks:", 0) != 0)
                kept << QString::fromStdString(e);
        return kept.join('|');
    }

    std::vector<std::string> events;
    std::string title = "(start)";
    int device = -2;
    std::pair<int, int> lastProgress{-1, -1};
    int progressCalls = 0;
    std::vector<std::pair<int, int>> changedRows;
    std::vector<std::pair<int, int>> marks;
    int idleCalls = 0;
};

// The firmware of a board, reduced to what the operations need, with the faults the
// simulator injects.
struct ScriptedBoard {
    std::string code = "21"; // identification; "" no chip
    int size = 2048;
    std::string flash;       // hex text of the chip, 2 characters a byte; FF when short
    std::map<char, std::string> replyFor; // replaces the reply to a command letter
    int wrongQ = -1;         // this "Q" of a write (0: the one after "W") is writeReply instead
    std::string writeReply = "w";
    std::string writeStatus = "W";
    std::string readStatus = "R";
    int shortBlock = -1;     // this read block is sent as its first 4 characters and CR LF
    bool lowerCase = false;
    char silentFrom = 0;     // from this command letter on, nothing is answered

    std::string operator()(std::string_view sent)
    {
        std::string out;
        for (char c : sent)
            out += take(c);
        return out;
    }

private:
    std::string take(char c)
    {
        if (silent || (silentFrom && c == silentFrom)) {
            silent = true;
            return {};
        }
        if (writing) {
            if (c == 'Z' && pendingData.empty()) {
                writing = false;
                return writeStatus;
            }
            pendingData += c;
            if (pendingData.size() < 64)
                return {};
            flash.resize(static_cast<std::size_t>(std::max(size * 2, 64 * (written + 1))), 'F');
            flash.replace(static_cast<std::size_t>(written) * 64, 64, pendingData);
            pendingData.clear();
            if (++written * 32 >= size) {
                writing = false;
                return writeStatus;
            }
            return nextQ();
        }
        if (auto it = replyFor.find(c); it != replyFor.end())
            return it->second;
        switch (c) {
        case 'I': return code;
        case 'S': flash.assign(static_cast<std::size_t>(size) * 2, 'F'); return "S";
        case 'N': return "N";
        case 'A': case 'B': case 'C': return std::string(1, c);
        case 'W': writing = true; written = 0; qCount = 0; return nextQ();
        case 'R': readBlock = 0; return {};
        case 'T': return readNext();
        default: return "?";
        }
    }

    std::string nextQ()
    {
        if (qCount++ != wrongQ)
            return "Q";
        writing = false;
        return writeReply;
    }

    std::string readNext()
    {
        flash.resize(static_cast<std::size_t>(size) * 2, 'F');
        const int block = readBlock++;
        std::string text = flash.substr(static_cast<std::size_t>(block) * 64, block == shortBlock ? 4 : 64);
        if (block == shortBlock)
            text += "\r\n";
        if (lowerCase)
            for (char& ch : text)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (readBlock * 32 >= size)
            text += readStatus;
        return text;
    }

    bool writing = false;
    bool silent = false;
    int written = 0;
    int qCount = 0;
    int readBlock = 0;
    std::string pendingData;
};

// Wraps any port and records the wire ("[" and "]" for open and close) and the closes,
// as events of the panel, so that their order against the boxes and the beep shows.
class RecordingPort : public Port {
public:
    RecordingPort(Port& inner, RecordingPanel& panel) : inner_(inner), panel_(panel) {}
    void select(int commPort) override { inner_.select(commPort); }
    int selected() const override { return inner_.selected(); }
    std::string deviceName() const override { return inner_.deviceName(); }
    std::optional<OpenFailure> open() override
    {
        auto failure = inner_.open();
        if (!failure)
            wire += '[';
        return failure;
    }
    void close() override
    {
        if (!open_()) return;
        inner_.close();
        wire += ']';
        panel_.events.push_back("close");
    }
    bool isOpen() const override { return inner_.isOpen(); }
    void output(std::string_view text) override { wire += text; inner_.output(text); }
    std::string input() override { return inner_.input(); }
    bool waitForInput(int msecs) override { return inner_.waitForInput(msecs); }

    std::string wire;

private:
    // A hung-up port closes itself; the operation's close still counts.
    bool open_() const { return !wire.empty() && wire.back() != ']'; }
    Port& inner_;
    RecordingPanel& panel_;
};

// A port whose replies come from a scripted board and reach the reader in chunks of the
// given sizes, one chunk per read.
class ScriptedPort : public Port {
public:
    explicit ScriptedPort(std::function<std::string(std::string_view)> board) : board_(std::move(board)) {}

    void select(int commPort) override { commPort_ = commPort; }
    int selected() const override { return commPort_; }
    std::string deviceName() const override { return "/dev/scripted" + std::to_string(commPort_); }

    std::optional<OpenFailure> open() override
    {
        ++opens;
        if (failure)
            return failure;
        open_ = true;
        return std::nullopt;
    }
    void close() override
    {
        if (!open_)
            return;
        open_ = false;
        pending.clear();
    }
    bool isOpen() const override { return open_; }

    void output(std::string_view text) override
    {
        if (board_)
            pending += board_(text);
    }
    std::string input() override
    {
        if (pending.empty())
            return {};
        const int size = chunks.empty() ? 1 << 20 : chunks[next_++ % chunks.size()];
        std::string chunk = pending.substr(0, static_cast<std::size_t>(size));
        pending.erase(0, chunk.size());
        return chunk;
    }
    bool waitForInput(int msecs) override
    {
        if (!pending.empty())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(msecs));
        return false;
    }

    std::vector<int> chunks; // sizes of successive reads, repeated; empty: all at once
    std::string pending;     // what the board has sent and the reader not yet taken
    std::optional<OpenFailure> failure;
    int opens = 0;

private:
    std::function<std::string(std::string_view)> board_;
    int commPort_ = 1;
    bool open_ = false;
    std::size_t next_ = 0;
};

} // namespace brindle::link::test
