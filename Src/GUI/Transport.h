#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "GUI/Model/PracticeRecorder.h"

class QPushButton;
class QTimer;
class QWidget;

namespace Configuration {
class IConfiguration;
struct Song;
}  // namespace Configuration

namespace Core {
class IMetronome;
}

namespace GUI {

class BigFlash;
class MetronomeEvents;
class SongPlayer;
class Statusbar;
class TempoControls;

// Start, stop and pause as the Start button, the keys and the remote control ask for them, the
// Start button's text and the status bar's state as the metronome stands, and the runs the
// practice log keeps. While a click track is written nothing starts.
class Transport final : public QObject {
    Q_OBJECT
public:
    // What a start plays beside the live settings: the setlist in use answers.
    class IStartPlan {
    public:
        virtual ~IStartPlan() = default;
        // The song of the entry in use, played from its start (null: none).
        virtual const Configuration::Song* EntrySong() const = 0;
        // Bars after which the entry in use hands over to the next (0: never).
        virtual std::int32_t BarLimit() const = 0;
        // Playing started; `song`: a song from the editor, which plays to its end.
        virtual void Started(bool song) = 0;
    };

    Transport(Core::IMetronome& metronome, Configuration::IConfiguration& configuration, MetronomeEvents& events,
              SongPlayer& songs, BigFlash& flash, TempoControls& tempo, Statusbar& statusbar, QWidget& window);

    void SetPlan(IStartPlan* plan) { _plan = plan; }
    void SetStartButton(QPushButton* button) { _startButton = button; }

    // Whether the metronome plays (a paused run included): asked of the metronome.
    bool Playing() const;
    bool Paused() const;
    // The Start button: starts, or stops what plays.
    void StartOrStop();
    // Space: pauses or resumes a run that owns its tempo, else as the Start button.
    void PauseOrStartOrStop();
    void StopIfPlaying();
    // Starts, or resumes a paused run; nothing while playing.
    void StartPlaying();
    // Plays `song` from its section `section`, whatever played before.
    void PlaySong(const Configuration::Song& song, int section);
    // Runs `write` (a click track's export, with its metronome of its own) while nothing may start.
    void WhileExporting(const std::function<void()>& write);

    // The Start button, the status bar's state and the tempo slider as the metronome stands; a
    // run that ended is logged.
    void ShowPlaying();
    // The Start button's text and the status bar's state alone.
    void ShowStartButton();
    // The metronome failed while playing (the message of `messageId`).
    void OnError(int messageId);
    // A run starts (or the next entry of a setlist takes over), ends: the practice log follows.
    void BeginRun();
    void EndRun();
    // The read-out's line of the song heard (none when no song plays).
    void ShowSongPlace();

    PracticeRecorder& Practice() { return _practice; }

signals:
    // Playing started, stopped, paused or resumed.
    void PlaybackChanged(bool playing, bool paused);

private:
    void StartNow();
    void ShowPracticeTime();

    Core::IMetronome& _metronome;
    Configuration::IConfiguration& _configuration;
    MetronomeEvents& _events;
    SongPlayer& _songs;
    BigFlash& _flash;
    TempoControls& _tempo;
    Statusbar& _statusbar;
    QWidget& _window;
    IStartPlan* _plan = nullptr;
    QPushButton* _startButton = nullptr;
    // A click track is being written: nothing starts meanwhile (a remote Start may arrive
    // while the progress dialog serves events).
    bool _exporting = false;
    // Said in the status bar while the run plays (subdivisions its tempo leaves out).
    QString _playingNote;
    PracticeRecorder _practice;
    QTimer* _practiceTimer = nullptr;
};

}  // namespace GUI
