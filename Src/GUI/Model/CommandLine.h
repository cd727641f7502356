#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Configuration {
class IConfiguration;
}

namespace GUI {

// Ticova's command line, and the message that carries its options to a copy already running.
//
//   ticova [--bpm N] [--preset NAME] [--start] [--link]
//   ticova --export FILE (--bars N | --minutes M)
//   ticova --export FILE --tempo-map MAP
//   ticova --help | --version
//
// Options are taken as "--name value" or "--name=value". Arguments this parser does not know
// are left to the window system's own parser (Qt's -platform, -style ...), in their order.
struct CommandLine {
    static constexpr int MinBpm = 10;
    static constexpr int MaxBpm = 400;
    // A preset name as the configuration keeps it: at most 79 characters.
    static constexpr std::size_t MaxPresetName = 79;

    bool help = false;
    bool version = false;
    bool start = false;
    bool link = false;  // join the session on the network
    std::optional<int> bpm;
    std::optional<std::string> preset;
    std::optional<std::string> exportFile;
    std::optional<double> bars;
    std::optional<double> minutes;
    std::optional<std::string> tempoMap;  // a tempo-map file, exported as a song
    std::vector<std::string> others;
    // Why the command line cannot be followed (empty: it can).
    std::string error;

    // Whether there is anything for a running copy to do beyond coming to the front.
    bool HasRemoteCommands() const { return start || bpm || preset; }

    static CommandLine Parse(const std::vector<std::string>& arguments);
    // Why these options cannot be carried out with `configuration` (a preset it does not hold);
    // empty when they can.
    std::string Refusal(Configuration::IConfiguration& configuration) const;
    // The text of --help.
    static std::string Usage();

    // The message a second copy sends the first: "raise", then a line per option, then an
    // empty line. UTF-8; a preset name cannot hold a line break.
    std::string RemoteMessage() const;
    // Reads a message as RemoteMessage writes it (the empty line that ends it left off). False
    // for anything else, which is then ignored as a whole: an unknown line, a tempo out of
    // range, a name too long or not UTF-8, a line given twice.
    static bool ParseRemoteMessage(std::string_view message, CommandLine& commands);
    // The longest message a running copy reads.
    static constexpr std::size_t MaxMessage = 1024;
};

}  // namespace GUI
