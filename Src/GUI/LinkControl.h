#pragma once

#include <QObject>
#include <cstddef>

#include "Platform/LinkSession.h"

class QAction;
class QMenu;
class QToolBar;

namespace Core {
class Metronome;
}

namespace GUI {

// Playing with a session on the network (Link): the toggle in the menu and the toolbar, with the
// number of peers, and the option to start and stop together. Off by default (the choice is kept
// in the extra settings), since it talks on the local network.
//
// It hands the window what the session changes: a peer's tempo (TempoFromSession, to be shown and
// played at once) and, with start and stop together, a peer's start or stop. What the window
// changes goes to the session: every tempo it shows (OnTempoShown), the start of a run (the
// metronome proposes it, on the bar line its first click falls on).
class LinkControl final : public QObject, private Platform::LinkSession::IListener {
    Q_OBJECT
public:
    // `metronome`: the one that follows the session (null: none, a test's window); `toggle`: the
    // window's checkable item that joins and leaves (null: one of its own).
    LinkControl(Core::Metronome* metronome, Platform::LinkSession& session, QObject* parent = nullptr,
                QAction* toggle = nullptr);
    ~LinkControl() override;

    // Adds the items to `menu`, the toggle unless it is there already.
    void Place(QMenu* menu);
    // Joins or leaves the session, and keeps the choice.
    void Enable(bool on);
    bool Enabled() const;
    void EnableStartStop(bool on);
    QAction* Toggle() const { return _toggle; }
    // The longest text the toggle shows (with any number of peers), in the current language.
    static QString WidestText();
    QAction* StartStopItem() const { return _startStop; }
    // The texts in the current language.
    void ApplyTexts();

public slots:
    // A tempo the window shows (slider, keys, tap, typing, remote control, a song's section).
    void OnTempoShown(int bpm);

signals:
    void TempoFromSession(int bpm);
    void StartFromSession();
    void StopFromSession();

private:
    // The session's own thread: handed over to this object's.
    void OnPeers(std::size_t peers) override;
    void OnTempo(double bpm) override;
    void OnPlaying(bool playing) override;
    void ShowPeers();
    static void Keep(const char* key, bool on);

    Core::Metronome* _metronome;
    Platform::LinkSession& _session;
    QAction* _toggle = nullptr;
    QAction* _startStop = nullptr;
};

}  // namespace GUI
