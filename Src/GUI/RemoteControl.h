#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace GUI {

class ApplicationWindow;
class CommandQueue;

// Ticova on the session bus: its own interface (io.github.ticova.Ticova at
// /io/github/ticova/Ticova: Start, Stop, TogglePause, SetTempo, Tempo and the Playing property)
// and an MPRIS player (org.mpris.MediaPlayer2.ticova), so that media keys and the desktop's
// player widgets play and pause it. Every command is carried out as the window's own buttons and
// keys would, just after the call is answered, through the queue of commands from outside (a
// start that fails shows a message box, which must not keep the caller waiting, nor open inside
// the bus's handler). Without a session bus, nothing is registered and Ticova runs as before.
class RemoteControl final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* ServiceName = "io.github.ticova.Ticova";
    static constexpr const char* ObjectPath = "/io/github/ticova/Ticova";
    static constexpr const char* MprisServiceName = "org.mpris.MediaPlayer2.ticova";
    static constexpr const char* MprisPath = "/org/mpris/MediaPlayer2";

    // `commands`: the queue the commands wait in (shared with the other copies' commands); null:
    // a queue of its own.
    explicit RemoteControl(ApplicationWindow& window, CommandQueue* commands = nullptr, QObject* parent = nullptr);
    ~RemoteControl() override;

    // Registers both services on `bus`; false (logged) when there is no bus or a name is taken.
    bool Register(QDBusConnection bus = QDBusConnection::sessionBus());

    ApplicationWindow& Window() const { return _window; }
    QDBusConnection& Bus() { return _bus; }
    CommandQueue& Commands() const { return *_commands; }
    // The MPRIS playback status: "Playing", "Paused" or "Stopped".
    QString PlaybackStatus() const;

private:
    void OnPlaybackChanged();
    void EmitChanged(const QString& path, const QString& interface, const QVariantMap& changed);

    ApplicationWindow& _window;
    CommandQueue* _commands;
    QObject* _ticova;  // carries the adaptors of each path
    QObject* _mpris;
    QDBusConnection _bus;
    bool _registered = false;
};

// io.github.ticova.Ticova. A tempo out of range is answered with an InvalidArgs error.
class TicovaAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.ticova.Ticova")
    Q_PROPERTY(bool Playing READ Playing)
public:
    TicovaAdaptor(QObject* carrier, RemoteControl& remote);
    bool Playing() const;
public slots:
    void Start();
    void Stop();
    void TogglePause();
    void SetTempo(int bpm, const QDBusMessage& call);
    int Tempo() const;

private:
    RemoteControl& _remote;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    MprisRootAdaptor(QObject* carrier, RemoteControl& remote);
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Ticova"); }
    QString DesktopEntry() const;
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }
public slots:
    void Raise();
    void Quit();

private:
    RemoteControl& _remote;
};

// org.mpris.MediaPlayer2.Player: play, pause and stop; a metronome has no tracks to skip or seek.
class MprisPlayerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ No)
    Q_PROPERTY(bool CanGoPrevious READ No)
    Q_PROPERTY(bool CanPlay READ Yes)
    Q_PROPERTY(bool CanPause READ Yes)
    Q_PROPERTY(bool CanSeek READ No)
    Q_PROPERTY(bool CanControl READ Yes)
public:
    MprisPlayerAdaptor(QObject* carrier, RemoteControl& remote);
    QString PlaybackStatus() const { return _remote.PlaybackStatus(); }
    double Rate() const { return 1.0; }
    QVariantMap Metadata() const;
    double Volume() const { return 1.0; }
    qlonglong Position() const { return 0; }
    bool Yes() const { return true; }
    bool No() const { return false; }
public slots:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next() {}
    void Previous() {}
    void Seek(qlonglong) {}
    void OpenUri(const QString&) {}

private:
    RemoteControl& _remote;
};

}  // namespace GUI
