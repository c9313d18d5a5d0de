#include "outcome.h"

namespace brindle::link {

int exitCode(Result result, int stopStatus)
{
    switch (result) {
    case Result::Ok: return 0;
    case Result::ChipFailed: return 1;
    case Result::BadImage: return 3;
    case Result::PortError: return 4;
    case Result::NoAnswer:
    case Result::HungUp:
    case Result::BadReply: return 5;
    case Result::NoChip:
    case Result::WrongChip: return 6;
    case Result::StoreError: return 7;
    case Result::Interrupted: return stopStatus;
    }
    return 5;
}

std::string_view resultName(Result result)
{
    switch (result) {
    case Result::Ok: return "ok";
    case Result::ChipFailed: return "chip-failed";
    case Result::NoAnswer: return "no-answer";
    case Result::HungUp: return "hung-up";
    case Result::BadReply: return "bad-reply";
    case Result::PortError: return "port-error";
    case Result::NoChip: return "no-chip";
    case Result::WrongChip: return "wrong-chip";
    case Result::BadImage: return "bad-image";
    case Result::StoreError: return "store-error";
    case Result::Interrupted: return "interrupted";
    }
    return "bad-reply";
}

std::string_view operationName(Operation operation)
{
    switch (operation) {
    case Operation::Identify: return "identify";
    case Operation::Erase: return "erase";
    case Operation::Blank: return "blank";
    case Operation::Write: return "write";
    case Operation::Read: return "read";
    case Operation::Verify: return "verify";
    case Operation::Lock: return "lock";
    }
    return "identify";
}

} // namespace brindle::link
