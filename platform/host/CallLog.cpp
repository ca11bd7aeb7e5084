// The call log behind call_log.h: a plain vector, appended to by the stand-ins.
#include "call_log.h"

namespace call_log {

namespace {
std::vector<std::string>& Entries()
{
    static std::vector<std::string> entries;
    return entries;
}
}  // namespace

void Record(const std::string& entry)
{
    // Bounded, so that a long run that nobody reads does not grow without end.
    if (Entries().size() < 100000) Entries().push_back(entry);
}

std::vector<std::string> Take()
{
    std::vector<std::string> taken;
    taken.swap(Entries());
    return taken;
}

}  // namespace call_log
