// The host's command line: the port's options (the system itself reads none).
#pragma once

#include "runtime.h"

#include <string>

namespace host {

enum class ParseResult { Run, Help, Version, Error };

// Fills options from argv, starting from the defaults it finds there. On Error, message says what was wrong.
ParseResult ParseOptions(int argc, char** argv, runtime::Options& options, std::string& message);

// The text that --help prints.
std::string UsageText();

// The version that --version prints ("bralmond 1.0.0"), from the project's one number.
std::string VersionText();

}  // namespace host
