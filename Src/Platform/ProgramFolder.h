#pragma once

#include <string>

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

// Tests point the data folder somewhere of their own; an empty path restores the rule above.
void SetDataFolderForTesting(const std::string& folder);

}  // namespace Platform
