#pragma once

#include <string>

namespace Platform {

// The folder that holds the running program (from /proc/self/exe), with a trailing '/'.
std::string ProgramFolder();

// The folder for the files that live "beside the program": the configuration file and the log.
// It is the program's folder when that is writable (a copy run from its build or unpacked
// folder), otherwise $XDG_CONFIG_HOME/Ticova/ (default ~/.config/Ticova/), created on demand.
std::string DataFolder();

// The rule of DataFolder() for a given program folder: that folder when it is writable, the
// per-user folder otherwise (created when missing).
std::string DataFolderFor(const std::string& programFolder);

// Full path of a file in DataFolder().
std::string DataFile(const std::string& name);

// Tests point the data folder somewhere of their own; an empty path restores the rule above.
void SetDataFolderForTesting(const std::string& folder);

}  // namespace Platform
