// The generator's whole run: which files to make, making them on two
// threads (the soundtrack on one, everything else on the other), writing
// them without replacing existing files unless forced, and the previews.
#pragma once

#include <cstdio>
#include <string>

namespace datagen {

struct Options {
    std::string outDir = "Data";
    bool force = false;
    std::string previewDir;  // empty: no previews
};

// Runs the generator, reporting progress and problems on log; returns the
// process exit status (0 when every file is in place).
int RunGenerator(const Options& options, std::FILE* log);

}  // namespace datagen
