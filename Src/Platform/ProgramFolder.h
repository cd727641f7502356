#pragma once

#include <string>
#include <vector>

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

// The installation prefix ("/usr/") of a program in `programFolder` when it is installed in the
// FHS layout (<prefix>/bin/ with <prefix>/share/ticova/ beside it), otherwise empty: a build or an
// unpacked copy keeps its files beside the program.
std::string InstallPrefixFor(const std::string& programFolder);

// The folder of the files shipped with the program (the folder Lang/ is in it): the program's
// folder, or <prefix>/share/ticova/ when installed.
std::string SharedDataFolder();

// The folder of the manual Ticova.pdf: the program's folder, or <prefix>/share/doc/ticova/.
std::string DocumentFolder();

// Every folder read-only data is looked up in, first found first: the user's own
// $XDG_DATA_HOME/Ticova/ (default ~/.local/share/Ticova/), so that a user can add files without
// root, then SharedDataFolder(), then <each of $XDG_DATA_DIRS>/ticova/. Each appears once.
std::vector<std::string> SharedDataFolders();

// The folder of the log: the data folder while it is beside the program (or set by a test),
// otherwise $XDG_STATE_HOME/Ticova/ (default ~/.local/state/Ticova/), created on demand.
std::string StateFolder();

// The rule of StateFolder() for a given program folder.
std::string StateFolderFor(const std::string& programFolder);

// Tests point the data folder somewhere of their own; an empty path restores the rule above.
void SetDataFolderForTesting(const std::string& folder);

}  // namespace Platform
