// A log of the platform calls whose order matters (start-up, shutdown,
// presenting), kept by the stand-ins so that tests can check the sequence.
// It records nothing until a test turns it on, so a real run pays nothing for
// it. The system never sees it.
#pragma once

#include <string>
#include <vector>

namespace call_log {

// Starts or stops recording (off when the process starts).
void Enable(bool on);
bool Enabled();
// Appends one entry while recording, e.g. "DestroyWindow" or
// "MessageBoxA BRALMOND: text"; callers that build an entry check Enabled first.
void Record(const char* entry);
void Record(const std::string& entry);
// Returns the entries recorded since the last Take and clears the log.
std::vector<std::string> Take();

}  // namespace call_log
