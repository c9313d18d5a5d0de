// One board's share of a job, run on a thread of its own with its own port: the optional
// identification that guards it, then the command's operations, each reported as a step.
#pragma once

#include "board_ops.h"
#include "job_image.h"
#include "job_record.h"
#include "options.h"
#include "port.h"
#include "record_entry.h"
#include "reporter.h"
#include "store.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace brindle::cli {

struct BoardResult {
    QString port;
    const protocol::Chip* chip = nullptr; // the last chip identified
    link::Result result = link::Result::Ok;
    bool recordFailed = false; // a step's line could not be appended to --log
    bool storeFailed = false;  // the store could not record a step or mark a chip's number
    double seconds = 0;
};

struct JobContext {
    const Options* options = nullptr;
    const JobImage* image = nullptr;        // write, verify, auto
    Reporter* reporter = nullptr;
    station::JobRecord* record = nullptr;      // --log; null: none
    const std::atomic<bool>* interrupt = nullptr;
    // The port a device name stands for: the system's serial port, or the simulated board.
    std::function<std::unique_ptr<platform::Port>(const QString& device)> openPort;
    const station::StoreAddress* store = nullptr; // --store or serial numbers; each board connects itself
    const station::SeriesPlan* plan = nullptr;    // serial numbers: each chip written gets one
    QString station;
};

class BoardJob {
public:
    // named: the port as -p gave it; device: what that opens.
    BoardJob(int board, QString named, QString device, const JobContext& context);
    BoardResult run();
    // Reports a step refused before the port is opened (a file that cannot be used) as run.
    BoardResult refuse(link::Operation kind, link::Outcome outcome);

private:
    struct Ops; // what the operations run with, made on the board's thread
    using OperationRun = std::function<link::Outcome(link::BoardOps&)>;

    bool runSteps(Ops& ops);
    bool guard(Ops& ops);
    // Runs one operation as a step: timed, reported and recorded. False when it failed.
    bool step(Ops& ops, link::Operation kind, const OperationRun& operation);
    link::Outcome refuseLongImage(Ops& ops) const;
    link::Outcome finishRead(Ops& ops, link::Outcome outcome) const;
    // ops: null for a step refused before the port was opened.
    void report(const Ops* ops, const link::Outcome& outcome, std::chrono::milliseconds took);
    QString words(const link::Outcome& outcome) const;
    // The chip's number once its steps have come to the point that decides it.
    void markSerial(Ops& ops, const link::Outcome& outcome);
    station::JobFacts factsFor(const Ops* ops, const link::Outcome& outcome, std::chrono::milliseconds took) const;
    QJsonObject jsonFor(const link::Outcome& outcome, const station::JobFacts& facts, std::chrono::milliseconds took) const;

    int board_;
    QString named_;
    QString device_;
    JobContext context_;
    BoardResult result_;
};

} // namespace brindle::cli
