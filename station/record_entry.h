// The record's entry for one operation, made the same way by the window and the command line.
#pragma once

#include "job_record.h"
#include "outcome.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace brindle::station {

// What the job knows beside the outcome.
struct JobFacts {
    std::string port;                      // the device
    FileFacts file;                        // the file the step used; empty path: none
    QString warning;                       // about that file: it loaded, but looks cut off
    const image::HexGrid* grid = nullptr;  // the image whose range was sent, compared or read
    int imageBytes = 0;                    // that range's length, from address 0
    std::chrono::milliseconds duration{0};
    int stopStatus = link::kInterruptedExit; // what an interrupted step exits with: 128 + the stop's signal
};

RecordEntry recordEntry(const link::Outcome& outcome, const JobFacts& facts);

// The 16-bit sum of the grid's bytes at addresses 0..bytes-1, as programmers' checksum fields
// show it; a cell that is not two hexadecimal digits counts as 0.
std::uint16_t gridSum16(const image::HexGrid& grid, int bytes);

} // namespace brindle::station
