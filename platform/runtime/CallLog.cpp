// The call log behind call_log.h: a plain vector, appended to by the stand-ins
// while a test has turned recording on.
#include "call_log.h"

namespace call_log {

namespace {

struct Log {
    bool on = false;
    std::vector<std::string> entries;
};

Log& L()
{
    static Log log;
    return log;
}

}  // namespace

void Enable(bool on)
{
    L().on = on;
}

bool Enabled()
{
    return L().on;
}

void Record(const char* entry)
{
    // Bounded, so that a long recorded run that nobody reads does not grow without end.
    if (L().on && L().entries.size() < 100000) L().entries.emplace_back(entry);
}

void Record(const std::string& entry)
{
    if (L().on && L().entries.size() < 100000) L().entries.push_back(entry);
}

std::vector<std::string> Take()
{
    std::vector<std::string> taken;
    taken.swap(L().entries);
    return taken;
}

}  // namespace call_log
