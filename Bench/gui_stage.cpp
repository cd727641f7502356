// The big flash and the setlists: screenshots, and what the flash costs and how late it comes.
//
//   xvfb-run -a -s "-screen 0 1280x800x24" build/Bench/gui_stage docs
//
// writes flash-window.png, flash-fullscreen.png, flash-window-2x.png (drawn at device pixel
// ratio 2) and setlist.png into the folder, and prints the time from a click's heard time to
// the flash on the screen and the time to draw one flash at each size.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QToolBar>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "Configuration/IConfiguration.h"
#include "Core/HeardTime.h"
#include "Core/Metronome.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/BigFlash.h"
#include "GUI/SetlistDialog.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Text.h"

namespace {

void Wait(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

void Save(const QImage& image, const QString& file)
{
    std::printf("  %s %s (%d x %d px)\n", file.toUtf8().constData(), image.save(file) ? "written" : "NOT written",
                image.width(), image.height());
}

// One pulse from a thread of its own, as the timer thread hands it over; waits until shown.
// Returns how long after its heard time it was on the screen (ms).
double PulseAndWait(GUI::BigFlash& flash, Core::BeatPulse pulse)
{
    const int before = flash.PulsesShown();
    std::thread timer([&] { flash.Pulse(pulse); });
    timer.join();
    while (flash.PulsesShown() == before)
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    flash.repaint();
    return std::chrono::duration<double, std::milli>(Core::HeardTime::Now() - pulse.heardAt).count();
}

// The time to draw the flash once at its current size, the median of 30 draws (ms).
double DrawTime(GUI::BigFlash& flash, qreal ratio)
{
    QImage target(flash.size() * ratio, QImage::Format_RGB32);
    target.setDevicePixelRatio(ratio);
    std::vector<double> times;
    for (int i = 0; i < 30; ++i) {
        QElapsedTimer timer;
        timer.start();
        flash.render(&target);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(Ticova);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    // Settings, presets and setlists of the shots live in a folder of their own: nothing of the
    // user's is read or written.
    QTemporaryDir data;
    Platform::SetDataFolderForTesting(data.path().toStdString() + "/");

    Configuration::IConfiguration& configuration = Configuration::GetConfiguration();
    Configuration::ConfigurationData preset;
    const char16_t* names[4] = {u"Opener", u"Ballad", u"Shuffle", u"Encore"};
    const std::uint32_t tempi[4] = {132, 72, 104, 168};
    for (int i = 0; i < 4; ++i) {
        Platform::Text::Copy(preset.PresetName, names[i]);
        preset.Bpm = tempi[i];
        configuration.AddPreset(preset);
    }

    GUI::VisualBeatIndicator indicator;
    GUI::ApplicationWindow window(Core::Metronome::Instance(), configuration, indicator);
    if (!window.Initialise()) {
        std::printf("main window: not started\n");
        return 1;
    }
    Configuration::Setlists& setlists = window.SetlistStore();
    setlists.Lists().push_back({"Friday gig", {"Opener", "Ballad", "Shuffle", "Old song", "Ballad", "Encore"}, 32});
    setlists.Lists().push_back({"Warm-up", {"Ballad", "Shuffle"}, 8});
    window.UseSetlist(0);
    window.OnCommand(GUI::ApplicationWindow::NextEntry);
    window.OnCommand(GUI::ApplicationWindow::NextEntry);
    Wait(300);
    {
        GUI::SetlistDialog dialog(setlists, configuration, nullptr);
        dialog.resize(560, 330);
        dialog.show();
        Wait(300);
        const QImage main = window.grab().toImage();
        const QImage edit = dialog.grab().toImage();
        QImage both(main.width() + 16 + edit.width(), std::max(main.height(), edit.height()), QImage::Format_RGB32);
        both.fill(QColor(0x60, 0x60, 0x60));
        QPainter painter(&both);
        painter.drawImage(0, 0, main);
        painter.drawImage(main.width() + 16, 0, edit);
        painter.end();
        Save(both, folder + QStringLiteral("/setlist.png"));
    }

    GUI::BigFlash& flash = window.FlashWindow();
    Configuration::ConfigurationData colours;
    colours.SetFirstStartVoices();
    flash.TakeColours(colours);
    flash.Open();
    flash.resize(640, 400);
    Wait(300);

    // How late the flash comes: pulses heard 30 ms after they are handed over, as clicks are.
    std::vector<double> late;
    for (int beat = 0; beat < 40; ++beat) {
        late.push_back(PulseAndWait(
            flash, {beat % 4, 4, beat % 4 == 0 ? 0 : 1, Core::HeardTime::Now() + std::chrono::milliseconds(30)}));
        Wait(20);
    }
    std::sort(late.begin(), late.end());
    std::printf("flash after its heard time (40 pulses): median %.2f ms, at most %.2f ms\n", late[late.size() / 2],
                late.back());

    PulseAndWait(flash, {0, 4, 0, Core::Moment()});
    std::printf("draw at 640 x 400: %.3f ms at ratio 1, %.3f ms at ratio 2\n", DrawTime(flash, 1.0),
                DrawTime(flash, 2.0));
    PulseAndWait(flash, {0, 4, 0, Core::Moment()});
    Save(flash.grab().toImage(), folder + QStringLiteral("/flash-window.png"));
    {
        QImage sharp(flash.size() * 2, QImage::Format_RGB32);
        sharp.setDevicePixelRatio(2.0);
        PulseAndWait(flash, {0, 4, 0, Core::Moment()});
        flash.render(&sharp);
        Save(sharp, folder + QStringLiteral("/flash-window-2x.png"));
    }

    flash.ToggleFullScreen();
    // With no window manager (Xvfb) nobody makes the full-screen window as large as the screen.
    if (QScreen* screen = flash.screen(); screen && flash.size() != screen->geometry().size())
        flash.setGeometry(screen->geometry());
    Wait(500);
    PulseAndWait(flash, {2, 4, 1, Core::Moment()});
    std::printf("draw full screen %d x %d: %.3f ms at ratio 1, %.3f ms at ratio 2\n", flash.width(), flash.height(),
                DrawTime(flash, 1.0), DrawTime(flash, 2.0));
    PulseAndWait(flash, {2, 4, 1, Core::Moment()});
    Save(flash.grab().toImage(), folder + QStringLiteral("/flash-fullscreen.png"));
    flash.close();
    window.UseSetlist(-1);
    window.close();
    return 0;
}
