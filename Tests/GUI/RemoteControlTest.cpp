#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <memory>

#include "GUI/ApplicationWindow.h"
#include "GUI/RemoteControl.h"
#include "GUI/VisualBeatIndicator.h"
#include "Support/RecordingLog.h"
#include "Support/WindowFakes.h"

namespace {

using GUI::RemoteControl;

// Records the playback states a desktop widget would be told of.
class ChangeRecorder : public QObject {
    Q_OBJECT
public slots:
    void Changed(const QString&, const QVariantMap& changed, const QStringList&)
    {
        if (changed.contains(QStringLiteral("PlaybackStatus")))
            statuses << changed.value(QStringLiteral("PlaybackStatus")).toString();
    }

public:
    QStringList statuses;
};

// A private session bus for one test: dbus-run-session, kept alive by a shell that prints the
// bus's address and waits for its input to close.
class PrivateBus {
public:
    PrivateBus()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-run-session")).isEmpty())
            return;
        _session.start(QStringLiteral("dbus-run-session"),
                       {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
                        QStringLiteral("echo \"$DBUS_SESSION_BUS_ADDRESS\"; exec cat >/dev/null")});
        if (!_session.waitForStarted(5000) || !_session.waitForReadyRead(5000))
            return;
        address = QString::fromUtf8(_session.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        _session.closeWriteChannel();
        if (!_session.waitForFinished(5000))
            _session.kill();
    }
    QString address;

private:
    QProcess _session;
};

class RemoteControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (bus.address.isEmpty())
            GTEST_SKIP() << "no private session bus could be started (dbus-run-session, from the dbus-daemon package)";
        server =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus.address, QStringLiteral("ticova")));
        client =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus.address, QStringLiteral("client")));
        ASSERT_TRUE(server->isConnected() && client->isConnected());
        indicator = std::make_unique<GUI::VisualBeatIndicator>();
        window = std::make_unique<GUI::ApplicationWindow>(metronome, configuration, *indicator);
        ASSERT_TRUE(window->Initialise());
        remote = std::make_unique<RemoteControl>(*window);
        ASSERT_TRUE(remote->Register(*server));
    }
    void TearDown() override
    {
        remote.reset();
        window.reset();
        server.reset();
        client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("ticova"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }

    // A call from another connection; the event loop serves it meanwhile.
    QVariant Call(const char* service, const char* path, const char* interface, const char* method,
                  const QVariantList& arguments = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                                           QString::fromLatin1(interface), QString::fromLatin1(method));
        call.setArguments(arguments);
        const QDBusMessage reply = client->call(call, QDBus::BlockWithGui, 5000);
        EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage) << method << ": " << reply.errorMessage().toStdString();
        QTest::qWait(10);  // a command is carried out just after its answer
        return reply.arguments().value(0);
    }
    QVariant Ticova(const char* method, const QVariantList& arguments = {})
    {
        return Call(RemoteControl::ServiceName, RemoteControl::ObjectPath, RemoteControl::ServiceName, method,
                    arguments);
    }
    QVariant Property(const char* service, const char* path, const char* interface, const char* name)
    {
        const QVariant value = Call(service, path, "org.freedesktop.DBus.Properties", "Get",
                                    {QString::fromLatin1(interface), QString::fromLatin1(name)});
        return qvariant_cast<QDBusVariant>(value).variant();
    }
    QVariant Mpris(const char* name)
    {
        return Property(RemoteControl::MprisServiceName, RemoteControl::MprisPath, "org.mpris.MediaPlayer2.Player",
                        name);
    }
    void Player(const char* method)
    {
        Call(RemoteControl::MprisServiceName, RemoteControl::MprisPath, "org.mpris.MediaPlayer2.Player", method);
    }

    PrivateBus bus;
    std::unique_ptr<QDBusConnection> server, client;
    Tests::FakeMetronome metronome;
    Tests::FakeConfiguration configuration;
    std::unique_ptr<GUI::VisualBeatIndicator> indicator;
    std::unique_ptr<GUI::ApplicationWindow> window;
    std::unique_ptr<RemoteControl> remote;
};

TEST_F(RemoteControlTest, TheTicovaInterfacePlaysStopsAndSetsTheTempo)
{
    Ticova("Start");
    EXPECT_EQ(metronome.starts, 1);
    EXPECT_TRUE(Property(RemoteControl::ServiceName, RemoteControl::ObjectPath, RemoteControl::ServiceName, "Playing")
                    .toBool());
    Ticova("Start");  // playing already: nothing more
    EXPECT_EQ(metronome.starts, 1);

    Ticova("SetTempo", {150});
    EXPECT_EQ(configuration.settings.Bpm, 150u);
    EXPECT_EQ(metronome.tempos.back(), 150);
    EXPECT_EQ(Ticova("Tempo").toInt(), 150);
    // Out of range: refused with an error the caller sees, and nothing changes.
    for (int bpm : {5, 9999}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromLatin1(RemoteControl::ServiceName), QString::fromLatin1(RemoteControl::ObjectPath),
            QString::fromLatin1(RemoteControl::ServiceName), QStringLiteral("SetTempo"));
        call << bpm;
        const QDBusMessage reply = client->call(call, QDBus::BlockWithGui, 5000);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << bpm;
        EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        EXPECT_TRUE(reply.errorMessage().contains(QStringLiteral("10 to 400"))) << reply.errorMessage().toStdString();
    }
    EXPECT_EQ(Ticova("Tempo").toInt(), 150);

    Ticova("TogglePause");  // outside the speed trainer, as the Pause key: it stops
    EXPECT_FALSE(window->Playing());
    Ticova("TogglePause");
    EXPECT_TRUE(window->Playing());
    Ticova("Stop");
    EXPECT_FALSE(window->Playing());
    EXPECT_EQ(metronome.stops, 2);
}

TEST_F(RemoteControlTest, TheMprisPlayerPlaysAndPausesAndSaysSo)
{
    EXPECT_EQ(Property(RemoteControl::MprisServiceName, RemoteControl::MprisPath, "org.mpris.MediaPlayer2", "Identity")
                  .toString(),
              QStringLiteral("Ticova"));
    EXPECT_EQ(Mpris("PlaybackStatus").toString(), QStringLiteral("Stopped"));

    ChangeRecorder changes;
    ASSERT_TRUE(client->connect(QString(), QString::fromLatin1(RemoteControl::MprisPath),
                                QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                                &changes, SLOT(Changed(QString, QVariantMap, QStringList))));
    Player("PlayPause");
    EXPECT_EQ(metronome.starts, 1);
    EXPECT_EQ(Mpris("PlaybackStatus").toString(), QStringLiteral("Playing"));

    Player("Pause");  // only the speed trainer pauses; any other run stops
    EXPECT_EQ(Mpris("PlaybackStatus").toString(), QStringLiteral("Stopped"));
    configuration.settings.SpeedTrainer = 1;
    Player("Play");
    Player("Pause");
    EXPECT_EQ(Mpris("PlaybackStatus").toString(), QStringLiteral("Paused"));
    EXPECT_EQ(metronome.pauses, 1);
    Player("PlayPause");
    EXPECT_EQ(Mpris("PlaybackStatus").toString(), QStringLiteral("Playing"));
    EXPECT_EQ(metronome.pauses, 2);
    Player("Stop");
    EXPECT_EQ(Mpris("PlaybackStatus").toString(), QStringLiteral("Stopped"));
    // Desktop widgets learn of each change without asking.
    QTRY_VERIFY_WITH_TIMEOUT(changes.statuses.size() >= 6, 2000);
    EXPECT_EQ(changes.statuses.first(), QStringLiteral("Playing"));
    EXPECT_EQ(changes.statuses.last(), QStringLiteral("Stopped"));
    EXPECT_TRUE(changes.statuses.contains(QStringLiteral("Paused")));
}

TEST(RemoteControlWithoutBus, TicovaRunsOnAndSaysWhy)
{
    Tests::RecordingLog log;
    Tests::FakeMetronome metronome;
    Tests::FakeConfiguration configuration;
    GUI::VisualBeatIndicator indicator;
    GUI::ApplicationWindow window(metronome, configuration, indicator);
    ASSERT_TRUE(window.Initialise());
    RemoteControl remote(window);
    EXPECT_FALSE(remote.Register(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nowhere"))));
    EXPECT_TRUE(log.Has(System::Notice, "No session bus"));
    QDBusConnection::disconnectFromBus(QStringLiteral("nowhere"));
}

}  // namespace

#include "RemoteControlTest.moc"
