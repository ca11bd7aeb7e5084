// The generator's whole run: which files to make, making them on two
// threads (the soundtrack on one, everything else on the other), writing
// them without replacing existing files unless forced, and the previews.
#pragma once

#include <cstdio>
#include <string>

#include "Image.h"

namespace datagen {

struct Options {
    std::string outDir = "Data";
    bool force = false;
    std::string previewDir;  // empty: no previews
    std::string iconPath;    // a PNG icon of the show to write too; empty: none
};

// Runs the generator, reporting progress and problems on log; returns the
// process exit status (0 when every file is in place).
int RunGenerator(const Options& options, std::FILE* log);

// The show's icon: the title card, scaled to fit a square of side pixels on
// black, as the desktop shows a program. False with a message in error.
bool MakeIcon(int side, Image& icon, std::string& error);

}  // namespace datagen
