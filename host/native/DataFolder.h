// Where the show's data files are read from on the desktop: the folder that
// --data names, else the first of a Data folder in the working folder (a
// user's own data wins), $XDG_DATA_HOME/bralmond/Data (~/.local/share when
// unset) and the installed share/bralmond/Data beside the program's bin/.
#pragma once

#include "runtime.h"

#include <string>
#include <vector>

namespace host {

// The places looked in, in order, for a run without --data; program is the
// path of the running program (/proc/self/exe).
std::vector<std::string> DataFolderCandidates(const std::string& program);

// Sets options.dataFolder to the folder found. False with a message that
// names the places looked in and how to make the data when there is none,
// or that says what is wrong with the folder --data names.
bool FindDataFolder(runtime::Options& options, std::string& message);

}  // namespace host
