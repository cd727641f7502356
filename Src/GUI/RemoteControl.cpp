#include "GUI/RemoteControl.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include "GUI/ApplicationWindow.h"
#include "GUI/CommandQueue.h"
#include "System/ILog.h"

namespace GUI {

namespace {

// Carries out a command on the window once the call has been answered: a start that fails shows
// its message box, which must not hold the caller (a media key) waiting for the reply.
template <typename Command>
void Later(RemoteControl& remote, Command command)
{
    ApplicationWindow& window = remote.Window();
    remote.Commands().Post([&window, command] { command(window); });
}

}  // namespace

RemoteControl::RemoteControl(ApplicationWindow& window, CommandQueue* commands, QObject* parent)
    : QObject(parent), _window(window), _commands(commands != nullptr ? commands : new CommandQueue(this)),
      _ticova(new QObject(this)), _mpris(new QObject(this)), _bus(QStringLiteral("none"))
{
    new TicovaAdaptor(_ticova, *this);
    new MprisRootAdaptor(_mpris, *this);
    new MprisPlayerAdaptor(_mpris, *this);
    connect(&window, &ApplicationWindow::PlaybackChanged, this, &RemoteControl::OnPlaybackChanged,
            Qt::QueuedConnection);
}

RemoteControl::~RemoteControl()
{
    if (_registered) {
        _bus.unregisterObject(QString::fromLatin1(ObjectPath));
        _bus.unregisterObject(QString::fromLatin1(MprisPath));
        _bus.unregisterService(QString::fromLatin1(ServiceName));
        _bus.unregisterService(QString::fromLatin1(MprisServiceName));
    }
}

bool RemoteControl::Register(QDBusConnection bus)
{
    if (!bus.isConnected()) {
        System::Log().Write(System::Notice,
                            "No session bus (%s): Ticova is not remote-controlled, and media keys "
                            "do not reach it",
                            bus.lastError().message().toUtf8().constData());
        return false;
    }
    _bus = bus;
    if (!bus.registerObject(QString::fromLatin1(ObjectPath), _ticova, QDBusConnection::ExportAdaptors) ||
        !bus.registerObject(QString::fromLatin1(MprisPath), _mpris, QDBusConnection::ExportAdaptors)) {
        System::Log().Write(System::Warn, "Ticova's objects could not be put on the session bus");
        return false;
    }
    _registered = true;
    bool named = true;
    for (const char* name : {ServiceName, MprisServiceName}) {
        if (!bus.registerService(QString::fromLatin1(name))) {
            System::Log().Write(System::Warn, "The name %s could not be had on the session bus: %s", name,
                                bus.lastError().message().toUtf8().constData());
            named = false;
        }
    }
    return named;
}

QString RemoteControl::PlaybackStatus() const
{
    if (!_window.Playing())
        return QStringLiteral("Stopped");
    return _window.Paused() ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

void RemoteControl::OnPlaybackChanged()
{
    if (!_registered)
        return;
    EmitChanged(QString::fromLatin1(MprisPath), QStringLiteral("org.mpris.MediaPlayer2.Player"),
                {{QStringLiteral("PlaybackStatus"), PlaybackStatus()}});
    EmitChanged(QString::fromLatin1(ObjectPath), QString::fromLatin1(ServiceName),
                {{QStringLiteral("Playing"), _window.Playing()}});
}

void RemoteControl::EmitChanged(const QString& path, const QString& interface, const QVariantMap& changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    _bus.send(signal);
}

// --- io.github.ticova.Ticova ---

TicovaAdaptor::TicovaAdaptor(QObject* carrier, RemoteControl& remote) : QDBusAbstractAdaptor(carrier), _remote(remote)
{
}

bool TicovaAdaptor::Playing() const
{
    return _remote.Window().Playing();
}

void TicovaAdaptor::Start()
{
    Later(_remote, [](ApplicationWindow& window) { window.StartPlaying(); });
}

void TicovaAdaptor::Stop()
{
    Later(_remote, [](ApplicationWindow& window) { window.StopPlaying(); });
}

void TicovaAdaptor::TogglePause()
{
    Later(_remote, [](ApplicationWindow& window) { window.TogglePause(); });
}

void TicovaAdaptor::SetTempo(int bpm, const QDBusMessage& call)
{
    // The same range the tempo controls keep.
    if (bpm < CommandLine::MinBpm || bpm > CommandLine::MaxBpm) {
        System::Log().Write(System::Warn, "A tempo of %d bpm asked for over the session bus is refused", bpm);
        call.setDelayedReply(true);  // the answer is the error, not an empty reply
        _remote.Bus().send(call.createErrorReply(QDBusError::InvalidArgs,
                                                 QStringLiteral("The tempo %1 bpm is outside %2 to %3 bpm")
                                                     .arg(bpm)
                                                     .arg(CommandLine::MinBpm)
                                                     .arg(CommandLine::MaxBpm)));
        return;
    }
    Later(_remote, [bpm](ApplicationWindow& window) { window.RequestTempo(bpm); });
}

int TicovaAdaptor::Tempo() const
{
    return _remote.Window().Tempo();
}

// --- org.mpris.MediaPlayer2 ---

MprisRootAdaptor::MprisRootAdaptor(QObject* carrier, RemoteControl& remote)
    : QDBusAbstractAdaptor(carrier), _remote(remote)
{
}

QString MprisRootAdaptor::DesktopEntry() const
{
    return QString::fromLatin1(RemoteControl::ServiceName);  // the application id
}

void MprisRootAdaptor::Raise()
{
    Later(_remote, [](ApplicationWindow& window) { window.BringToFront(); });
}

void MprisRootAdaptor::Quit()
{
    Later(_remote, [](ApplicationWindow& window) { window.QuitAsExit(); });
}

// --- org.mpris.MediaPlayer2.Player ---

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject* carrier, RemoteControl& remote)
    : QDBusAbstractAdaptor(carrier), _remote(remote)
{
}

QVariantMap MprisPlayerAdaptor::Metadata() const
{
    return {{QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(QStringLiteral("/io/github/ticova/Ticova/Click")))},
            {QStringLiteral("xesam:title"), QStringLiteral("%1 bpm").arg(_remote.Window().Tempo())}};
}

void MprisPlayerAdaptor::Play()
{
    Later(_remote, [](ApplicationWindow& window) { window.StartPlaying(); });
}

void MprisPlayerAdaptor::Pause()
{
    // A metronome that cannot pause (outside the speed trainer) stops: the next Play starts again.
    Later(_remote, [](ApplicationWindow& window) {
        if (window.Playing() && !window.Paused())
            window.TogglePause();
    });
}

void MprisPlayerAdaptor::PlayPause()
{
    Later(_remote, [](ApplicationWindow& window) {
        if (window.Playing() && !window.Paused())
            window.TogglePause();
        else
            window.StartPlaying();
    });
}

void MprisPlayerAdaptor::Stop()
{
    Later(_remote, [](ApplicationWindow& window) { window.StopPlaying(); });
}

}  // namespace GUI
