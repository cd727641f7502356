// The command line and the message a second copy hands the first: whatever bytes come, the
// parsers end, and what they accept reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "GUI/Model/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    GUI::CommandLine message;
    if (GUI::CommandLine::ParseRemoteMessage(input, message)) {
        const std::string again = message.RemoteMessage();
        GUI::CommandLine reread;
        if (!GUI::CommandLine::ParseRemoteMessage(again.substr(0, again.size() - 1), reread) ||
            reread.RemoteMessage() != again)
            __builtin_trap();
    }

    // The same bytes as arguments, split at zero bytes.
    std::vector<std::string> arguments;
    std::string current;
    for (char c : input) {
        if (c == '\0') {
            arguments.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    arguments.push_back(current);
    const GUI::CommandLine line = GUI::CommandLine::Parse(arguments);
    if (line.error.empty() && line.HasRemoteCommands()) {
        const std::string forwarded = line.RemoteMessage();
        GUI::CommandLine reread;
        if (!GUI::CommandLine::ParseRemoteMessage(forwarded.substr(0, forwarded.size() - 1), reread))
            __builtin_trap();
    }
    return 0;
}
