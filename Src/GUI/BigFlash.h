#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>

#include "Core/IBeatFlash.h"
#include "Platform/LatestValue.h"
#include "Platform/Thread.h"

class QTimer;

namespace Configuration {
class ConfigurationData;
}

namespace GUI {

// The big, silent flash: a window of its own, any size up to the whole screen (F11; Escape
// leaves full screen, and a window closes with it), that shows each beat's number in its bar
// large enough to read across a room, the whole window lit in the beat's colour, the accent in
// its own, and each subdivision as a smaller disc. Drawn with the painter on the window itself,
// so at the screen's device pixel ratio.
//
// As with the small indicator, the metronome's timer thread only leaves each click and the time
// it is heard; a thread of its own waits for that time and the window shows it then.
class BigFlash final : public QWidget, public Core::IBeatFlash {
    Q_OBJECT
public:
    static constexpr int ControlId = 1210;
    // How long a beat and a subdivision stay lit at most (ms).
    static constexpr int BeatLitMs = 160;
    static constexpr int SubdivisionLitMs = 90;

    BigFlash();
    ~BigFlash() override;

    // Shows the window (its last size, or full screen as it was left) and starts following the
    // clicks; Close() or the window's close button stops it.
    void Open();
    void Pulse(const Core::BeatPulse& pulse) noexcept override;
    // The voices' colours, taken at each start.
    void TakeColours(const Configuration::ConfigurationData& settings);
    // Playing stopped: dark, no number.
    void Clear();
    // Keys of the main window pressed in this one (M mutes, N and B move through a setlist, ...):
    // handed to `forward` (Qt key code), which says whether it took them.
    void SetKeyForwarder(std::function<bool(int key)> forward) { _forward = std::move(forward); }
    // Shown in the title while the sound is muted.
    void ShowMuted(bool muted);
    void ToggleFullScreen();

    bool Following() const { return _running.load(std::memory_order_acquire); }
    // What is shown now (for tests): the beat's number (0: none) and what is lit.
    int ShownNumber() const { return _number; }
    // The beat of the latest pulse, as a screen reader reads it ("Beat 3 of 4"); empty before
    // the first. Read on the window's thread whether the flash is open or not.
    QString LatestBeatText() const;
    bool BeatLit() const { return _lit == 1; }
    bool SubdivisionLit() const { return _lit == 2; }
    int PulsesShown() const { return _shown; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Run(std::uint32_t seen);
    void Stop();
    void Light(const Core::BeatPulse& pulse);
    void SaveGeometry();

    std::uint32_t _colours[12] = {};
    int _number = 0;
    int _beats = 0;
    int _beat = -1;
    int _lit = 0;  // 0 nothing, 1 a beat, 2 a subdivision
    std::uint32_t _litColour = 0;
    std::uint32_t _numberColour = 0;
    int _shown = 0;
    Core::Moment _lastHeardAt;
    bool _muted = false;
    QTimer* _dimTimer = nullptr;
    std::function<bool(int)> _forward;

    Platform::Thread _thread;
    std::atomic<bool> _running{false};
    // The latest pulse, and the latest that was a beat (a subdivision's pulse has none): read as
    // the beat.
    struct BarBeat {
        std::int32_t beat = -1;
        std::int32_t beats = 0;
    };
    Platform::LatestValue<Core::BeatPulse> _pulse;
    Platform::LatestValue<BarBeat> _latestBeat;
};

}  // namespace GUI
