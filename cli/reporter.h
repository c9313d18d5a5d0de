// Everything brindle-cli tells its user, from any board's thread: step lines (prefixed with
// the port when several boards work), JSON objects, the progress bar and the summary table.
#pragma once

#include "outcome.h"

#include <QJsonObject>
#include <QString>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

namespace brindle::cli {

class Reporter {
public:
    // boards: how many work at once. progressBar: draw one on stderr (a terminal).
    Reporter(int boards, bool json, bool progressBar);

    void setPortNames(std::vector<QString> ports) { ports_ = std::move(ports); }
    // Quiet: only errors are printed, and no bar.
    void setQuiet(bool quiet) { quiet_ = quiet, bar_ = bar_ && !quiet; }
    // Standard output carries a file (read -): every line goes to stderr instead.
    void setStdoutTaken(bool taken) { out_ = taken ? stderr : stdout; }
    bool json() const { return json_; }
    bool several() const { return several_; }

    // A line on stdout for a board (-1: none), prefixed with its port when several work.
    // error: printed also when quiet.
    void line(int board, const QString& text, bool error = false);
    // A board begins a step; the bar names it. wait: the board works without blocks to count
    // (erase, blank), so the bar shows the seconds waited.
    void stepStarted(int board, link::Operation step, bool wait);
    // Called now and then while a board's reply is awaited.
    void waiting(int board);
    // A line on stderr (problems that stop the job before any board works).
    void problem(const QString& text);
    void jsonObject(const QJsonObject& object);
    // Blocks of a transfer done out of total; total 0 ends the board's transfer.
    void progress(int board, int done, int total);

    struct SummaryRow {
        QString port, chip, result;
        double seconds = 0;
    };
    void summary(const std::vector<SummaryRow>& rows);

private:
    void clearBar();  // with the mutex held
    void drawBar();   // with the mutex held
    void print(std::FILE* stream, const QString& text);

    struct Transfer {
        int done = 0, total = 0;
        std::chrono::steady_clock::time_point start;
        link::Operation step = link::Operation::Identify;
        bool wait = false;
    };
    std::mutex mutex_;
    std::vector<QString> ports_;
    std::vector<Transfer> transfers_;
    bool several_;
    bool json_;
    bool bar_;
    bool quiet_ = false;
    std::FILE* out_ = stdout;
    bool barShown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

} // namespace brindle::cli
