#include "GUI/Model/CommandLine.h"

#include <charconv>
#include <cmath>

#include "Configuration/IConfiguration.h"
#include "Platform/SoundFileWriter.h"
#include "Platform/Text.h"

namespace GUI {

namespace {

bool ParseBpm(std::string_view text, int& bpm)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    if (value < CommandLine::MinBpm || value > CommandLine::MaxBpm)
        return false;
    bpm = value;
    return true;
}

bool ParseAmount(std::string_view text, double& amount)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value <= 0)
        return false;
    amount = value;
    return true;
}

bool ValidPresetName(std::string_view name)
{
    if (name.empty() || name.find_first_of("\r\n") != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return false;
    // Bytes that are not UTF-8 do not come back from the round trip unchanged.
    const std::u16string wide = Platform::Text::Utf8ToUtf16(name);
    return Platform::Text::Utf16ToUtf8(wide) == name && wide.size() <= CommandLine::MaxPresetName;
}

// Keeps the first of the problems found: the one the user reads.
void Fail(CommandLine& line, std::string message)
{
    if (line.error.empty())
        line.error = std::move(message);
}

bool TakesValue(const std::string& name)
{
    return name == "--bpm" || name == "--preset" || name == "--export" || name == "--tempo-map" || name == "--bars" ||
        name == "--minutes";
}

// The value `text` of the option `name` (one of those TakesValue names).
void SetValue(CommandLine& line, const std::string& name, const std::string& text)
{
    if (name == "--bpm") {
        int bpm = 0;
        if (ParseBpm(text, bpm))
            line.bpm = bpm;
        else
            Fail(line, "--bpm takes a whole number from 10 to 400, not \"" + text + "\"");
    } else if (name == "--preset") {
        if (ValidPresetName(text))
            line.preset = text;
        else
            Fail(line, "--preset takes the name of a preset (at most 79 characters)");
    } else if (name == "--export") {
        if (text.empty())
            Fail(line, "--export takes the name of the file to write");
        else if (!Platform::SoundFileWriter::HasKnownEnding(text))
            Fail(line,
                 "--export writes WAV or FLAC files: give the file a name ending in .wav or .flac, not \"" + text +
                     "\"");
        else
            line.exportFile = text;
    } else if (name == "--tempo-map") {
        if (text.empty())
            Fail(line, "--tempo-map takes the name of a tempo-map file");
        else
            line.tempoMap = text;
    } else {
        double amount = 0;
        if (!ParseAmount(text, amount))
            Fail(line, name + " takes a number above zero, not \"" + text + "\"");
        else if (name == "--bars")
            line.bars = amount;
        else
            line.minutes = amount;
    }
}

// The options that go only with others, or not with them.
void CheckTogether(CommandLine& line)
{
    if (line.bars && line.minutes)
        Fail(line, "--bars and --minutes cannot be given together");
    if ((line.bars || line.minutes) && !line.exportFile)
        Fail(line, "--bars and --minutes go with --export");
    if (line.tempoMap && !line.exportFile)
        Fail(line, "--tempo-map goes with --export");
    if (line.tempoMap && (line.bars || line.minutes))
        Fail(line, "--tempo-map plays the whole map: no --bars or --minutes");
    if (line.exportFile && !line.bars && !line.minutes && !line.tempoMap)
        Fail(line, "--export needs --bars N, --minutes M or --tempo-map MAP");
    if (line.exportFile && line.start)
        Fail(line, "--export and --start cannot be given together");
}

}  // namespace

CommandLine CommandLine::Parse(const std::vector<std::string>& arguments)
{
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string name = argument;
        std::optional<std::string> value;
        if (argument.rfind("--", 0) == 0) {
            if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
                name = argument.substr(0, equals);
                value = argument.substr(equals + 1);
            }
        }
        if (name == "--help" || name == "-h") {
            line.help = true;
        } else if (name == "--version" || name == "-v") {
            line.version = true;
        } else if (name == "--start") {
            line.start = true;
        } else if (name == "--link") {
            line.link = true;
        } else if (TakesValue(name)) {
            if (!value && i + 1 < arguments.size())
                value = arguments[++i];
            if (value)
                SetValue(line, name, *value);
            else
                Fail(line, name + " needs a value");
        } else if (argument.rfind("--", 0) == 0 && argument.size() > 2) {
            Fail(line, "unknown option " + name + " (see --help)");
        } else {
            line.others.push_back(argument);
        }
    }
    CheckTogether(line);
    return line;
}

std::string CommandLine::Refusal(Configuration::IConfiguration& configuration) const
{
    if (preset && !configuration.IsPreset(Platform::Text::Utf8ToUtf16(*preset).c_str()))
        return "there is no preset \"" + *preset + "\"";
    return {};
}

std::string CommandLine::Usage()
{
    return "Usage: ticova [options]\n"
           "A metronome for practising musicians.\n"
           "\n"
           "Options:\n"
           "  -h, --help             Shows this help and ends.\n"
           "  -v, --version          Shows the version and ends.\n"
           "  --bpm N                Plays at N beats per minute (10 to 400).\n"
           "  --preset NAME          Loads the preset NAME.\n"
           "  --start                Starts playing.\n"
           "  --link                 Joins the Link session on the local network (tempo, beat\n"
           "                         and phase shared with the other players).\n"
           "  --export FILE          Writes the click track of the current settings to FILE\n"
           "                         (.wav or .flac) instead of opening the window;\n"
           "                         with --bpm and --preset applied first.\n"
           "  --bars N               ... N bars long (with --export).\n"
           "  --minutes M            ... M minutes long (with --export).\n"
           "  --tempo-map MAP        ... the song of the tempo-map file MAP, whole (with --export);\n"
           "                         to FILE.mid: its tempo map and beats as a MIDI file.\n"
           "\n"
           "With a copy of Ticova already running, --bpm, --preset and --start are carried out\n"
           "by that copy, which comes to the front.\n";
}

std::string CommandLine::RemoteMessage() const
{
    std::string message = "raise\n";
    if (preset)
        message += "preset " + *preset + "\n";
    if (bpm)
        message += "bpm " + std::to_string(*bpm) + "\n";
    if (start)
        message += "start\n";
    return message + "\n";
}

bool CommandLine::ParseRemoteMessage(std::string_view message, CommandLine& result)
{
    result = CommandLine();
    CommandLine commands;
    if (message.size() > MaxMessage)
        return false;
    bool first = true;
    while (!message.empty()) {
        const std::size_t end = message.find('\n');
        if (end == std::string_view::npos)
            return false;  // every line ends with its line feed
        const std::string_view line = message.substr(0, end);
        message.remove_prefix(end + 1);
        if (first) {
            if (line != "raise")
                return false;
            first = false;
        } else if (line == "start") {
            if (commands.start)
                return false;
            commands.start = true;
        } else if (line.rfind("bpm ", 0) == 0) {
            int bpm = 0;
            if (commands.bpm || !ParseBpm(line.substr(4), bpm))
                return false;
            commands.bpm = bpm;
        } else if (line.rfind("preset ", 0) == 0) {
            const std::string_view name = line.substr(7);
            if (commands.preset || !ValidPresetName(name))
                return false;
            commands.preset = std::string(name);
        } else {
            return false;
        }
    }
    if (first)
        return false;
    result = commands;
    return true;
}

}  // namespace GUI
