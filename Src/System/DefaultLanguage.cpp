#include "System/DefaultLanguage.h"

#include <atomic>
#include <cstddef>
#include <iterator>

namespace System {

namespace {

template <std::size_t N>
const char16_t* Entry(const char16_t* const (&table)[N], int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < N ? table[index] : nullptr;
}

const char16_t* const menuTitles[] = {u"&File", u"&Tools", u"&Help"};

const char16_t* const menuItems[] = {
    u"&Language\tCtrl+L",       u"E&xit\tCtrl+Q",        u"&Options ...\tCtrl+O", u"&Sound Settings...\tCtrl+S",
    u"&Audio Files...\tCtrl+A", u"&Presets ...\tCtrl+P", u"&Help\tCtrl+F1",       u"&About\tCtrl+F3",
};

const char16_t* const toolbarTexts[] = {u"Options", u"Sound Settings", u"Audio Files", u"Presets"};

const char16_t* const tooltips[] = {
    u"Edit The Metronome Options",
    u"Edit The Metronome Sound Settings",
    u"Edit The Filenames And Paths For Audio Files",
    u"Create Or Load Metronome Presets",
};

const char16_t* const statusInfos[] = {
    u"Opens the language selection window",
    u"Exits the application",
    u"Edits the metronome options",
    u"Edits the metronome sound settings",
    u"Edits the filenames and paths for audio files",
    u"Creates or loads metronome presets",
    u"Saves changes made to the current preset",
    u"Displays the metronome manual",
    u"Opens the About window",
    u"Displays the current tempo in beats per minute",
    u"Provides a visual indication of the beat",
    u"Starts or stops the metronome",
    u"Sets the tempo for the metronome",
    u"Sets the overall volume for the metronome",
    u"Enables setting of the tempo via left clicking with the mouse",
};

const char16_t* const messages[] = {
    u"This program experienced a problem accessing Windows system functionality",
    u"This program requires Windows XP/Vista/Windows 7/Windows 8 or later to run.",
    u"Please enter a name for the preset",
    u"This preset already exists. If you would like to update the settings for this preset, press 'Yes'. "
    u"Otherwise, press 'No' to cancel.",
    u"Preset names can hold letters, numbers, spaces and punctuation, but no '#' or tab, and cannot begin "
    u"with a space or '='",
    u"Preset descriptions can consist of letters, numbers and space characters only",
    u"Please select a preset from the list before continuing",
    u"The metronome experienced an issue initialising the sound source. If using audio files as your sound "
    u"source please check that you selected 44.1 kHz 16 bit audio files on the Audio Files tab under "
    u"Settings.",
    u"Your custom pattern didn't match the expected structure. Custom patterns should contain a series of "
    u"numbers each separated by a single plus (+) sign. They can't contain any characters other than numbers "
    u"and plus signs and must start and end with a number.",
    u"Your custom pattern's beat total exceeds the maximum number of beats the system can handle. Please "
    u"create a pattern that contains less than 100 beats in total.",
    u"One of the groups in your custom pattern had more than 100 beats in it. Individual groups in the pattern "
    u"cannot have more than 100 beats.",
    u"Your custom rhythm doesn't match the expected format. Please open the Step Sequencer and try again.",
    u"Your custom rhythm's beat total exceeds the maximum number of beats the system can handle. Please open "
    u"the Step Sequencer and create a pattern that contains less than 200 hits in total.",
    u"The selected audio file doesn't exist. Please check the name is correct.",
    u"The selected audio file couldn't be opened. Please check it exists and that the correct file "
    u"permissions have been set.",
    u"The selected audio files size could not be determined. Please check it isn't extremely large.",
    u"The selected audio files could not be read. Please check they are valid 44.1 kHz 16 bit audio files.",
    u"The selected audio file has a sample rate or bit depth greater than this application can play. Please "
    u"select 44.1 kHz 16 bit .wav files for playback by the audio engine.",
    u"One or more of your selected audio files have a size larger than 1 MB. There is a possibility that the "
    u"sound may be too long for use in the metronome and will cause issues on playback.",
    u"You currently have Audio Files selected as your sound source but haven't loaded any audio files. Please "
    u"either load some audio files via the Audio Files tab, or select Midi as your sound source.",
    u"You currently have Audio Files selected as your sound source but haven't loaded any audio files. Before "
    u"opening the step sequencer please either load some audio files via the Audio Files tab, or select Midi "
    u"as your sound source.",
    u"You currently have Audio Files selected as your sound source. However one or more of your selected audio "
    u"files weren't found on disc. Before opening the step sequencer please either reset your audio files via "
    u"the Audio Files tab, or select Midi as your sound source.",
    u"The step sequencer window is currently empty. Please add some instrument hits and then try again.",
    u"The number of instrument hits in your sequence exceeds the maximum. Please remove a few of the hits and "
    u"try again.",
    // 24 to 50: descriptions of multimedia result codes.
    u"Unspecified error",
    u"Specified device identifier is out of range",
    u"Driver failed enable",
    u"Specified resource is already allocated",
    u"Device handle is invalid",
    u"No device driver present",
    u"Unable to allocate or lock memory",
    u"Function isn't supported",
    u"Error value out of range",
    u"Invalid flag passed",
    u"Invalid parameter passed",
    u"Handle being used simultaneously on another thread (eg callback)",
    u"Specified alias not found",
    u"Bad registry database",
    u"Registry key not found",
    u"Registry read error",
    u"Registry write error",
    u"Registry delete error",
    u"Registry value not found",
    u"Driver does not call DriverCallback",
    u"More data to be returned",
    u"Attempted to open with an unsupported waveform audio format.",
    u"The device is still playing something",
    u"Header not prepared",
    u"The device is synchronous but waveOutOpen was called without using the WAVEALLOWSYNC flag.",
    u"One of the sounds selected for playback didn't have an audio file selected for it. Please check that "
    u"all the sounds you have opted to use have files set for them under the Audio Files tab.",
    u"Unable to create a new thread for audio playback",
    u"The help file wasn't found. Please check there is a file called Ticova.pdf in the same directory Ticova "
    u"is being run from.",
    u"Ticova was unable to open the help file. Please check you have a PDF file reading application installed "
    u"on your computer.",
    u"A preset named \"%1\" already exists. Please choose another name, or select that preset to update it.",
    u"Do you want to delete the preset \"%1\"?",
    u"The audio file of sound %2 cannot be played: %1",
};

const char16_t* const messageTitles[] = {
    u"System Not Supported",
    u"Preset Name Required",
    u"Preset Already Exists",
    u"Invalid Preset Name",
    u"Invalid Preset Description",
    u"No Preset Selected",
    u"Unable To Initialise Sound Source",
    u"Invalid Custom Pattern",
    u"Invalid Custom Rhythm",
    u"Audio File Not Found",
    u"Unable To Open File",
    u"Unable To Get File Size",
    u"Unable To Read File",
    u"Invalid Audio File",
    u"Large Audio File",
    u"Metronome Unable To Play",
    u"No Audio Files Selected",
    u"Audio Files Not Found",
    u"Sequence Empty",
    u"Sequence Has Too Many Hits",
    u"Help File Not Found",
    u"Unable To Open Help File",
    u"Delete Preset",
};

const char16_t* const information[] = {
    u"Move the mouse over a control to display information about it here.",
    u"Saves all the current settings and closes this window",
    u"Closes this window",
    u"Plays a regular beat, with no accents, using sound 1 for every beat.",
    u"Plays a standard musical bar, with an accent on the first beat. Sound 1 plays the first beat of each bar "
    u"and sound 2 plays the other beats.",
    u"Sets the number of beats per bar",
    u"Click the up arrow to increment the number of beats per bar, or the down arrow to decrement it.",
    u"Plays a series of bars or beat groupings with an accent on the first beat of each group. Sound 1 plays "
    u"the first beat of the pattern, sound 2 the first beat of each later group and sound 3 the other beats.",
    u"Enter the number of beats to play for each group, separated by plus signs, for example 3+3+2.",
    u"Plays a custom rhythm where you define which sounds play on each step of the bar. The rhythm is drawn "
    u"in the step sequencer.",
    u"Opens the step sequencer window. The step sequencer is where you draw a custom rhythm of up to twelve "
    u"sounds.",
    u"Selects MIDI as the sound source for percussion instruments. The instrument for each sound is chosen on "
    u"the Sound Settings tab.",
    u"Selects user supplied audio files as the sound source. The files are chosen on the Audio Files tab and "
    u"must be 44.1 kHz 16 bit .wav files.",
    u"Sets the beat subdivision the metronome will play using sound 4.",
    u"Sets the secondary beat subdivision the metronome will play using sound 5. Together with the first "
    u"subdivision it plays a polyrhythm.",
    u"Makes the Beats Per Bar and Custom Pattern beat types play in compound time, with the beats of each bar "
    u"grouped in threes.",
    u"Turns the visual beat display on or off",
    u"Enables the speed trainer. The speed trainer causes the tempo to change in steps from the 'From' "
    u"percentage to the 'To' percentage of the set tempo.",
    u"Changes the Duration, Warm Up and Warm Down settings from minutes to a number of bars.",
    u"Uses a logarithmic scale for the speed trainer. This spreads the tempo changes along a logarithmic curve "
    u"instead of a straight line.",
    u"This causes the metronome to play sound 6 everytime the speed trainer changes the tempo.",
    u"The starting point for the speed trainer, as a percentage of the set tempo.",
    u"Click the up arrow to increment the 'From' percent, or the down arrow to decrement it.",
    u"The end point for the speed trainer, as a percentage of the set tempo.",
    u"Click the up arrow to increment the 'To' percent, or the down arrow to decrement it.",
    u"The amount the tempo will step up by for each change of the speed trainer, as a percentage of the span "
    u"from the 'From' tempo to the 'To' tempo: 10 % of 60 to 120 bpm is a step of 6 bpm.",
    u"Click the up arrow to increment the 'Step' percent, or the down arrow to decrement it.",
    u"If Durations In Bars isn't selected, sets the time in minutes that the whole speed trainer run lasts, "
    u"shared equally by its tempo steps. Otherwise it sets the number of bars in each step.",
    u"Click the up arrow to increment the duration, or the down arrow to decrement it.",
    u"Sets either the time in minutes or the number of bars to play at the starting tempo before the speed "
    u"trainer begins to change it.",
    u"Click the up arrow to increment the warmup duration, or the down arrow to decrement it.",
    u"If Durations In Bars isn't selected, sets the time in minutes of the warm down after the speed trainer: "
    u"four steps back towards the starting tempo. Otherwise it sets the number of bars in each of those steps.",
    u"Click the up arrow to increment the warm down duration, or the down arrow to decrement it.",
    u"Selects the instrument sound to use for this voice",
    u"Sets the volume for this voice",
    u"Sets the size of the visual beat indicator for this voice.",
    u"Sets the colour of the visual beat indicator for this voice.",
    u"Selects the audio file to use for this voice",
    u"Opens a dialog box which enables you to select the audio file to use for this voice.",
    u"Sets the name to use for the new metronome preset. Names can contain letters, numbers, spaces and "
    u"punctuation such as Warm-up, but no '#'.",
    u"Enter a description of the preset here. This should say what the preset is for, using letters, numbers "
    u"and spaces only.",
    u"Saves all current settings as a new metronome preset",
    u"Clears the Preset Name and Preset Description text boxes",
    u"Saves all current settings as a new metronome preset",
    u"Updates the preset currently selected in the preset list",
    u"Loads the preset currently selected in the preset list",
    u"Deletes the preset currently selected in the preset list",
    u"Lists all metronome presets. Double click a preset to load it.",
    u"Sets the number of bars in your custom rhythm",
    u"Sets the number of beats in each bar of your custom rhythm",
    u"Sets the beat subdivision for your custom rhythm",
    u"Makes the step sequencer play in compound time. Use this to create odd compound time measures such as "
    u"compound 11/8.",
    u"Removes duplicate Sound Settings instrument names from the list on the left hand side of the sequencer",
    u"Defines the note pattern to play. Click on the intersection of a beat subdivision and an instrument "
    u"to add a note, or move with the arrow keys and press Space; + and - change the velocity of the row's "
    u"sound (Ctrl with them by one).",
    u"Clears the step sequencer and chord sequence",
    u"Plays the custom rhythm",
    u"Saves the custom rhythm",
};

const char16_t* const texts[] = {
    u"Ticova",
    u"bpm",
    u"Unacceptable Character",
    u"You can only type numbers and period (.) signs here",
    u"You can only type numbers and plus (+) signs here",
    u"You can only type numbers and percent (%) signs here",
    u"Options",
    u"Sound Settings",
    u"Audio Files",
    u"Presets",
    u"Upgrade",
    u"User Licence Agreement",
    u"Preset",
    u"Description",
    u"Open Audio File",
    u"Audio Files (*.wav)",
    u"Paused: press Space to play on",
    u"Stop (Paused)",
    u"&Count-in and Latency...",
    u"Practice &Log...",
    u"Count-in and Latency",
    u"Count-in before a run",
    u"&Length:",
    u"Off",
    u"1 bar",
    u"2 bars",
    u"1 beat",
    u"%1 beats",
    u"&Sound:",
    u"&Volume:",
    u"Visual latency",
    u"&Flash and step cursor, in ms (+ later, - sooner):",
    u"Practice Log",
    u"Practice time",
    u"Date",
    u"Time",
    u"Preset",
    u"Tempo",
    u"Beat type",
    u"Minutes",
    u"Trainer",
    u"Runs",
    u"Total per day",
    u"%1 damaged lines were skipped.",
    // The big flash and the setlists (GUI/StageTexts.h).
    u"&View",
    u"Big &Flash",
    u"Full &Screen",
    u"&Mute",
    u"Set&list",
    u"&Setlists ...",
    u"&Next Entry",
    u"&Previous Entry",
    u"Ticova Flash",
    u"muted",
    u"Setlists",
    u"New",
    u"Rename",
    u"Delete",
    u"Add",
    u"Remove",
    u"Up",
    u"Down",
    u"Next entry after (bars, 0: never):",
    u"Play This Setlist",
    u"%1 (missing)",
    u"Setlist name:",
    u"Presets:",
    u"Entries:",
    u"%1: %2 of %3",
    u"Previous",
    u"Next",
    u"Leave",
    u"Setlist %1",
    // The output page (GUI/OutputPage.h).
    u"Output",
    u"Sound output",
    u"Default",
    u"%1 ms latency",
    u"JACK client \"Ticova\" (when a JACK server runs)",
    u"MIDI notes",
    u"Built-in synthesizer",
    u"JACK MIDI port Ticova:midi_out",
    u"ALSA sequencer port",
    u"Channel",
    // Export and SoundFont (GUI/ConnectionTexts.h).
    u"Export &Click Track...",
    u"Export Click Track",
    u"File:",
    u"Browse...",
    u"Length:",
    u"bars",
    u"minutes",
    u"WAV files (*.wav);;FLAC files (*.flac)",
    u"Writing the click track...",
    u"The click track is written: %1 s of sound in %2 s (%3 times real time).",
    u"The click track could not be written:\n%1",
    u"Sound&Font...",
    u"SoundFont files (*.sf2 *.sf3)",
    u"The SoundFont could not be loaded:\n%1",
    // Reading and saving the settings files (GUI/FileTexts.h).
    u"Ticova stopped reading %1 at line %2:\n%3\n\nThe settings and presets after that line are not loaded.",
    u"%1 is %2 MB, far larger than any settings file, and is not read: Ticova starts with the default settings.",
    u"%1 could not be read (%2): Ticova starts with the default settings.",
    u"%1 holds %2 presets named as an earlier one (once a long name is cut to 79 characters or damaged bytes are "
    u"replaced): only the first of each name is loaded.",
    u"%1 had %2 damaged lines, which are left out.",
    u"The file as it was is kept whole as %1.",
    u"It could not be kept as %1, so Ticova saves nothing over it until it can.",
    u"The settings could not be saved in %1",
    // The About box and the language list (GUI/WindowTexts.h).
    u"A metronome for practising musicians.",
    u"English",
    u"German",
    u"French",
    // Notices (GUI/NoticeTexts.h).
    u"Sound %1 plays audio file %2, which is not set on the Audio Files tab.",
    u"Subdivisions are left out above %1 bpm: the beats alone are played.",
    u"The practice log is larger than %1 MB: only its newest runs are read, and the totals per day count only those.",
    // Songs (GUI/SongTexts.h).
    u"S&ongs...",
    u"Songs",
    u"&Song:",
    u"D&uplicate",
    u"Label",
    u"Bars",
    u"Meter",
    u"Tempo",
    u"End tempo",
    u"Accents",
    u"Volume %",
    u"&Import Tempo Map...",
    u"Export &Tempo Map...",
    u"Export &MIDI...",
    u"Export &WAV/FLAC...",
    u"Song %1",
    u"Song name:",
    u"Tempo maps (*.txt);;All files (*)",
    u"MIDI files (*.mid)",
    u"%1 could not be read.",
    u"%1 could not be written.",
    u"Not everything in %1 could be taken as it was:\n%2",
    u"A tempo map cannot hold everything of this song; %1 is written without it:\n%2",
    u"Line %1: %2",
    u"Section %1: %2",
    u"not a section; left out",
    u"one tempo a beat; the first is kept for the whole line",
    u"tempo brought into 10 to 400",
    u"the pattern is fitted to the bar",
    u"a volume above full plays at full volume",
    u"meter brought into range",
    u"the lines after the most a song holds are left out",
    u"soft beats are written as normal ones",
    u"subdivisions are not written",
    u"an endless section is written as one bar",
    u"groups are written as accents of one bar",
    u"%1 is written.",
    u"%1: the song \"%2\" (line %3) could not be read and is left out. The file as it was is kept as %4 at the first "
    u"change.",
    u"%1 could not be read: Ticova starts without songs, and keeps the file whole as %2 at the first change.",
    u"The songs could not be saved in %1",
    u"%1  bar %2",
    u"Click a section to play from there.",
    u"&Play",
    u"St&op",
    u"Presets and songs:",
    u"%1 (song)",
    u"0 bars: the last section plays until stopped",
    u"Subdivisions",
    u"Muted bars",
    u"Clicks between beats: s as in the settings, 2, or 2,3 for two against three",
    u"3,1: three bars played, then one only shown, again and again; 0: none",
    // Read by assistive technology (GUI/AccessibleTexts.h).
    u"Beat %1 of %2",
    u"Step sequencer",
    u"Bar %1, beat %2, step %3, %4: %5",
    u"no hit",
    u"hit",
    u"hit, selected",
    u"Lin&k",
    u"Lin&k: %1 peers",
    u"Start and stop &with the Link session",
    u"Play in time with the other players of a Link session on the local network",
    u"Ticova's own source code is under the MIT licence. The program as built includes Ableton Link "
    u"(GPL-2.0-or-later) and links Qt (LGPL-3.0), so the program as a whole is distributed under "
    u"GPL-3.0-or-later.",
    u"&Timing Coach...",
    u"Timing Coach",
    u"Input:",
    u"Level",
    u"&Calibrate",
    u"Stay silent while four clicks play.",
    u"Round trip: %1 ms",
    u"Not calibrated",
    u"Manual offset (headphones), ms:",
    u"&Mute every other 2 bars",
    u"&Start take",
    u"St&op take",
    u"Save t&ake...",
    u"%1 ms early",
    u"%1 ms late",
    u"On the beat",
    u"Mean %1 ms, consistency %2 ms, drift %3 ms per 30 s, %4 missed, %5 extra",
    u"Offset over time (ms)",
    u"Lean per bar position (ms)",
    u"Consistency over days (ms)",
    u"silent bars",
    u"No input found",
    u"%1: velocity %2",
    u"Scored on the beats",
    u"Scored on the beats and their subdivisions, %1 to a beat",
    u"While this window is open, bars 3 and 4 of every four are silent (the beat is still shown): "
    u"hold the time alone.",
    u"In the silent bars: mean %1 ms, consistency %2 ms, %3 hits",
    u"Mean (ms)",
    u"Consistency (ms)",
    u"Drift (ms per 30 s)",
    u"Hits / missed / extra",
};

const char16_t* const instrumentNames[] = {
    u"Acoustic Bass Drum", u"Acoustic Snare", u"Bass Drum 1",    u"Cabasa",         u"Chinese Cymbal", u"Claves",
    u"Closed Hi-Hat",      u"Cowbell",        u"Crash Cymbal 1", u"Crash Cymbal 2", u"Electric Snare", u"Hand Clap",
    u"Hi Bongo",           u"High Agogo",     u"High Floor Tom", u"High Timbale",   u"High Tom",       u"Hi Mid Tom",
    u"Hi Wood Block",      u"Long Guiro",     u"Long Whistle",   u"Low Agogo",      u"Low Bongo",      u"Low Conga",
    u"Low Timbale",        u"Low Floor Tom",  u"Low-Mid Tom",    u"Low Tom",        u"Low Wood Block", u"Maracas",
    u"Mute Cuica",         u"Mute Hi Conga",  u"Mute Triangle",  u"Open Cuica",     u"Open Hi Conga",  u"Open Hi-Hat",
    u"Open Triangle",      u"Pedal Hi-hat",   u"Ride Bell",      u"Ride Cymbal 1",  u"Ride Cymbal 2",  u"Short Guiro",
    u"Short Whistle",      u"Side Stick",     u"Splash Cymbal",  u"Tambourine",     u"Vibraslap",
};

static_assert(std::size(menuTitles) == ILanguage::MenuCount);
static_assert(std::size(menuItems) == ILanguage::MenuItemCount);
static_assert(std::size(toolbarTexts) == ILanguage::ToolbarCount);
static_assert(std::size(tooltips) == ILanguage::TooltipCount);
static_assert(std::size(statusInfos) == ILanguage::StatusInfoCount);
static_assert(std::size(messages) == ILanguage::MessageCount);
static_assert(std::size(messageTitles) == ILanguage::MessageTitleCount);
static_assert(std::size(information) == ILanguage::InformationCount);
static_assert(std::size(texts) == ILanguage::TextCount);
static_assert(std::size(instrumentNames) == ILanguage::InstrumentCount);

std::atomic<ILanguage*> installed{nullptr};

// The main window's controls that carry a text.
const char16_t* MainWindowControlText(int controlId)
{
    switch (controlId) {
    case 1001: return u"Start";
    case 1002: return u"Stop";
    case 1003: return u"Tap";
    case 1004: return u"Tempo";
    case 1005: return u"Volume";
    case 1082: return u"&Play";
    default: return nullptr;
    }
}

}  // namespace

const char16_t* ILanguage::BuiltIn(int section, int index) noexcept
{
    switch (section) {
    case MenuSection: return Entry(menuTitles, index);
    case MenuItemsSection: return Entry(menuItems, index);
    case ToolbarSection: return Entry(toolbarTexts, index);
    case TooltipSection: return Entry(tooltips, index);
    case StatusInfoSection: return Entry(statusInfos, index);
    case ControlSection: return MainWindowControlText(index + FirstControlId);
    case MessageSection: return Entry(messages, index);
    case MessageTitleSection: return Entry(messageTitles, index);
    case InformationSection: return Entry(information, index);
    case TextSection: return Entry(texts, index);
    case MidiSection: return Entry(instrumentNames, index);
    default: return nullptr;
    }
}

ILanguage& CurrentLanguage()
{
    static DefaultLanguage builtIn;
    if (ILanguage* language = installed.load(std::memory_order_acquire))
        return *language;
    return builtIn;
}

void SetCurrentLanguage(ILanguage* language)
{
    installed.store(language, std::memory_order_release);
}

}  // namespace System
