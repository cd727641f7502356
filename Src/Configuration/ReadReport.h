#pragma once

#include <cstdint>
#include <string>

namespace Configuration {

// What the reading of a settings file could not take in, for telling the user at start. Every
// such file is kept, byte for byte, as `backup` before anything is written over it.
struct ReadReport {
    std::string file;
    std::string backup;
    bool backupKept = false;  // the backup exists now; otherwise nothing is written over the file

    int stoppedLine = 0;        // the line that stopped the reading (1-based), 0: none
    std::string stoppedText;    // the start of that line
    std::int64_t tooLarge = 0;  // the size of a file refused for it, in bytes; 0: none
    std::string unreadable;     // why the file could not be read at all; empty: it could
    int duplicatePresets = 0;   // presets left out because an earlier one had their name
    int skippedLines = 0;       // damaged lines left out

    bool Any() const
    {
        return stoppedLine > 0 || tooLarge > 0 || !unreadable.empty() || duplicatePresets > 0 || skippedLines > 0;
    }
};

}  // namespace Configuration
