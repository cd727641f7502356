// Step sequencer drawing figures: a full redraw of the grid, a single-row redraw, and the
// cursor's frames from tick to shown picture. With "--show SECONDS" it then keeps the dialog on
// the screen with a two-bar rhythm drawn (for a screenshot) and ends by itself.
//
//     build/Bench/gui_step_sequencer [--show 5]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "GUI/StepSequencerDialog.h"
#include "Platform/Text.h"

namespace {

// Two bars of four beats in sixteenths: bass drum, snare, closed and open hi-hat, crash,
// hand clap and a tom fill.
std::u16string TwoBarRhythm()
{
    constexpr int steps = 32;
    std::vector<std::u16string> voices(steps);
    auto add = [&](int step, char16_t voice) { voices[step] += voice; };
    for (int s = 0; s < steps; s += 2)
        if (s != 30)
            add(s, u'3');
    for (int s : {0, 6, 8, 16, 22, 24})
        add(s, u'1');
    for (int s : {4, 12, 20, 28})
        add(s, u'2');
    add(14, u'6');
    add(30, u'4');
    add(0, u'5');
    for (int s : {25, 26, 27})
        add(s, u'8');
    for (int s : {29, 31})
        add(s, u'9');
    std::u16string text;
    for (const std::u16string& step : voices) {
        if (step.empty())
            text += u' ';
        else if (step.size() == 1)
            text += step;
        else
            text += u'[' + step + u']';
    }
    return text;
}

Configuration::ConfigurationData RhythmSettings()
{
    Configuration::ConfigurationData settings;
    settings.CrNumBars = 2;
    settings.CrBeatsPerBar = 4;
    settings.CrSubdivision = 4;
    settings.DisplayedSubdiv = 4;
    settings.CrCompoundTime = 0;
    settings.DisplayDistinct = 0;
    settings.SoundEngineType = 0;
    settings.Bpm = 96;
    // Bass drum 1, acoustic snare, closed hi-hat, open hi-hat, crash, hand clap, ride, low tom,
    // high tom, cowbell, tambourine, side stick (rows of the percussion table).
    const std::uint32_t instruments[12] = {2, 1, 6, 35, 8, 11, 39, 27, 16, 7, 45, 43};
    for (int v = 0; v < 12; ++v) {
        settings.Instrument[v] = instruments[v];
        settings.Colour[v] = static_cast<std::uint32_t>(v);
    }
    const std::u16string rhythm = TwoBarRhythm();
    Platform::Text::Copy(settings.CustomRhythm, rhythm);
    return settings;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    int showSeconds = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--show") == 0)
            showSeconds = std::atoi(argv[i + 1]);

    Configuration::ConfigurationData live = RhythmSettings();
    GUI::StepSequencerDialog dialog(nullptr, live);
    dialog.WorkingSettings() = live;
    dialog.PrepareWorkingSettings();
    dialog.Initialise();
    dialog.resize(std::max(dialog.width(), 900), 460);
    dialog.show();
    QApplication::processEvents();

    GUI::StepSequencerControl& grid = dialog.GridWindow();
    constexpr int rounds = 200;
    QElapsedTimer clock;

    clock.start();
    for (int i = 0; i < rounds; ++i)
        grid.Repaint(GUI::StepSequencerGrid::RepaintAll);
    const double fullMs = static_cast<double>(clock.nsecsElapsed()) / 1e6 / rounds;

    clock.restart();
    for (int i = 0; i < rounds; ++i)
        grid.Repaint(i % 12);
    const double rowMs = static_cast<double>(clock.nsecsElapsed()) / 1e6 / rounds;

    // Cursor: a tick from another thread, the frame drawn by the cursor thread, shown here.
    Configuration::ConfigurationData preview = dialog.WorkingSettings();
    grid.StartCursor(preview);
    std::vector<double> frameUs;
    for (int i = 0; i < rounds; ++i) {
        const int before = grid.CursorFrames();
        QElapsedTimer tick;
        tick.start();
        std::thread timer([&] { grid.OnTick(Core::Moment()); });
        timer.join();
        while (grid.CursorFrames() == before)
            std::this_thread::yield();
        QApplication::processEvents();
        frameUs.push_back(static_cast<double>(tick.nsecsElapsed()) / 1e3);
    }
    grid.StopCursor();
    std::sort(frameUs.begin(), frameUs.end());

    std::printf("grid %d x %d columns, window %d x %d\n", grid.Grid().VisibleRowCount(), grid.Grid().ColumnCount(),
                grid.width(), grid.height());
    std::printf("full redraw and copy: %.3f ms\n", fullMs);
    std::printf("one row redraw and copy: %.3f ms\n", rowMs);
    std::printf("cursor tick to frame shown: median %.1f us, 95th %.1f us, max %.1f us\n", frameUs[frameUs.size() / 2],
                frameUs[frameUs.size() * 95 / 100], frameUs.back());

    if (showSeconds <= 0)
        return 0;
    grid.Repaint(GUI::StepSequencerGrid::RepaintAll);
    QTimer::singleShot(showSeconds * 1000, &application, &QApplication::quit);
    return application.exec();
}
