// What to tell the operator when the port cannot be opened. The advice follows the facts of
// the device (owner, group, mode), the user's account and any lock file, so it never sends
// anyone to join a group that would not help. The platform gathers the facts (port_facts.h).
#pragma once

#include "port.h"

#include <optional>
#include <string>

namespace brindle::link {

[[nodiscard]] std::string openAdvice(platform::OpenRefusal refusal, const platform::PortFacts& facts);

// The failure with link's advice where the port left the wording to it.
[[nodiscard]] std::optional<platform::OpenFailure> advised(std::optional<platform::OpenFailure> failure);

} // namespace brindle::link
