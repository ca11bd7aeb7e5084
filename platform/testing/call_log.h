// A log of the platform calls whose order matters (start-up, shutdown,
// presenting), kept by the stand-ins so that tests can check the sequence.
// The system never sees it.
#pragma once

#include <string>
#include <vector>

namespace call_log {

// Appends one entry, e.g. "DestroyWindow" or "MessageBoxA BRALMOND: text".
void Record(const std::string& entry);
// Returns the entries recorded since the last Take and clears the log.
std::vector<std::string> Take();

}  // namespace call_log
