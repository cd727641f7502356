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

// Only a folder of the user's own that nobody else can write is used: another user who could
// write it could swap the files in it for links. With no such folder DataFolder() is empty (and
// nothing is read or saved); DataFolderProblem() then says why.
//
// The rule of DataFolder() for a given program folder: that folder when it is writable and
// private, the per-user folder otherwise (created when missing; without HOME the home folder of
// the user's account, without one /tmp/Ticova-<uid>). Empty, with `problem` set, when the
// per-user folder is not private either.
std::string DataFolderFor(const std::string& programFolder, std::string* problem = nullptr);
std::string DataFolderProblem();

// Why a folder may not hold the user's files; empty when it belongs to the user and nobody
// else can write it.
std::string FolderProblem(const std::string& folder);

// Full path of a file in DataFolder(); empty when there is no data folder.
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
