#pragma once

namespace GUI {

// Command identifiers of the menu, the toolbar and the accelerators. The main window derives
// from this and from MainControlIds, so they read ApplicationWindow::StartStop and so on.
struct Commands {
    enum Command : int {
        StartStop = 1001,
        Tap = 1003,
        Pause = 1325,
        Language = 32771,
        Exit = 32772,
        Options = 32773,
        SoundSettings = 32774,
        AudioFiles = 32775,
        Presets = 32776,
        Help = 32777,
        About = 32778,
        CountInSettings = 32790,
        PracticeLogView = 32791,
        // The big flash and the setlists.
        Flash = 32792,
        FullScreen = 32793,
        Mute = 32794,
        SetlistsDialog = 32795,
        NextEntry = 32796,
        PreviousEntry = 32797,
        LeaveSetlist = 32798,
        ExportClickTrack = 32799,
        ChooseSoundFont = 32800,
        SongsDialog = 32801,
        LinkSession = 32802,
    };
};

// Control identifiers of the main window's client area.
struct MainControlIds {
    static constexpr int StartButtonId = 1001;
    static constexpr int TapButtonId = 1003;
    static constexpr int TempoLabelId = 1004;
    static constexpr int VolumeLabelId = 1005;
    static constexpr int ReadOutId = 1201;
    static constexpr int IndicatorId = 1202;
    static constexpr int TempoSliderId = 1203;
    static constexpr int VolumeSliderId = 1204;
};

}  // namespace GUI
