#include "GUI/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "GUI/MessageBoxes.h"
#include "GUI/Model/InstanceLock.h"
#include "Platform/ProgramFolder.h"
#include "System/ILog.h"

namespace GUI {

namespace {

constexpr int AnswerTimeoutMs = 1000;

QString SocketPath(const QString& name)
{
    return QString::fromStdString(InstanceLock::SocketPath(name.toStdString()));
}

// Only a process of this user may tell this copy to go.
bool PeerIsThisUser(const QLocalSocket& socket)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
        peer.uid == ::geteuid();
}

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), _name(std::move(name)) {}

SingleInstance::~SingleInstance()
{
    if (_server)
        _server->close();
    if (_lock >= 0)
        ::close(_lock);
}

QString SingleInstance::DefaultName()
{
    return QString::fromStdString(InstanceLock::DefaultSocketPath());
}

bool SingleInstance::AnotherCopyRuns(const QString& name)
{
    return !name.isEmpty() && InstanceLock::Held(name.toStdString());
}

bool SingleInstance::Claim()
{
    if (_name.isEmpty()) {
        System::Log().Write(System::Warn,
                            "No private folder for the socket of Ticova's copies; this copy runs "
                            "without checking for another one");
        return true;
    }
    // The lock decides who is first, whoever starts at the same moment; the socket only
    // carries the request to come forward.
    const std::string lockPath = (SocketPath(_name) + QStringLiteral(".lock")).toStdString();
    _lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    struct stat status {};
    if (_lock < 0 || ::fstat(_lock, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        System::Log().Write(System::Warn,
                            "The lock file %s cannot be used (%s); this copy runs without checking "
                            "for another one",
                            lockPath.c_str(), _lock < 0 ? std::strerror(errno) : "not a file of this user's own");
        if (_lock >= 0)
            ::close(_lock);
        _lock = -1;
        return true;
    }
    const QDeadlineTimer deadline(ReachTimeoutMs);
    for (;;) {
        if (::flock(_lock, LOCK_EX | LOCK_NB) == 0)
            return Listen();
        switch (AskFirstCopy()) {
        case Reach::Raised: return false;
        case Reach::Untrusted: return true;
        case Reach::NoAnswer: break;
        }
        // The first copy may not listen yet, or may be ending: ask again, or take its place.
        if (deadline.hasExpired())
            break;
        QThread::msleep(100);
    }
    System::Log().Write(System::Warn,
                        "A running copy of Ticova holds %s but does not answer; this copy does not "
                        "start",
                        lockPath.c_str());
    MessageBoxes::Show(nullptr, QMessageBox::Warning, QStringLiteral("Ticova"),
                       QStringLiteral("Another copy of Ticova is running but does not answer.\n\n"
                                      "Close it, or end it, and start Ticova again."));
    return false;
}

// The lock is held: any socket there is left over from a copy that ended abruptly.
bool SingleInstance::Listen()
{
    _server = new QLocalServer(this);
    _server->setSocketOptions(QLocalServer::UserAccessOption);
    _server->setMaxPendingConnections(MaxClients);
    QLocalServer::removeServer(_name);
    if (!_server->listen(_name)) {
        System::Log().Write(System::Warn, "Unable to listen for other copies of Ticova: %s",
                            _server->errorString().toUtf8().constData());
        return true;
    }
    connect(_server, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    return true;
}

SingleInstance::Reach SingleInstance::AskFirstCopy()
{
    QLocalSocket probe;
    probe.connectToServer(_name);
    if (!probe.waitForConnected(AnswerTimeoutMs))
        return Reach::NoAnswer;
    if (!PeerIsThisUser(probe)) {
        System::Log().Write(System::Warn,
                            "The socket %s is served by another user; it is not trusted, and this copy "
                            "runs on its own",
                            SocketPath(_name).toUtf8().constData());
        return Reach::Untrusted;
    }
    probe.write(_message.data(), static_cast<qint64>(_message.size()));
    probe.flush();
    if (!probe.waitForReadyRead(AnswerTimeoutMs))
        return Reach::NoAnswer;
    QByteArray answer = probe.readAll();
    if (!answer.startsWith(Answer))
        return Reach::NoAnswer;
    // The rest of the answer's line says why the options were refused (empty: they were taken).
    while (!answer.contains('\n') && answer.size() <= static_cast<qsizetype>(CommandLine::MaxMessage) &&
           probe.waitForReadyRead(AnswerTimeoutMs))
        answer += probe.readAll();
    const qsizetype end = answer.indexOf('\n');
    _refusal =
        answer.mid(1, end < 0 ? -1 : end - 1).left(static_cast<qsizetype>(CommandLine::MaxMessage)).toStdString();
    return Reach::Raised;
}

void SingleInstance::OnConnection()
{
    while (QLocalSocket* socket = _server->nextPendingConnection()) {
        if (_clients >= MaxClients || !PeerIsThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++_clients;
        connect(socket, &QObject::destroyed, this, [this] { --_clients; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A connection that asks nothing is not kept.
        QTimer::singleShot(ClientTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        // A message ends with an empty line; it may come in pieces.
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QByteArray& received = _received[socket];
            received += socket->readAll();
            const qsizetype end = received.indexOf("\n\n");
            if (end < 0 && received.size() <= static_cast<qsizetype>(CommandLine::MaxMessage))
                return;
            const std::string message = end < 0 ? std::string() : received.left(end + 1).toStdString();
            _received.remove(socket);
            CommandLine commands;
            if (end < 0 || !CommandLine::ParseRemoteMessage(message, commands)) {
                System::Log().Write(System::Warn,
                                    "A message from another copy of Ticova was not understood and is "
                                    "ignored (%lld bytes)",
                                    static_cast<long long>(message.size()));
                socket->abort();
                return;
            }
            std::string refusal = _check ? _check(commands) : std::string();
            std::replace(refusal.begin(), refusal.end(), '\n', ' ');
            socket->write(QByteArray(1, Answer) + QByteArray::fromStdString(refusal) + '\n');
            socket->flush();
            if (!refusal.empty())
                System::Log().Write(System::Warn, "The options of another copy of Ticova are not carried out: %s",
                                    refusal.c_str());
            // Carried out once this handler has returned: a command may open a message box, and
            // the socket may be gone by the time the box is closed.
            _queue.Post([this, commands, refused = !refusal.empty()] {
                if (_raise)
                    _raise();
                if (!refused && _commands && commands.HasRemoteCommands())
                    _commands(commands);
            });
        });
        connect(socket, &QObject::destroyed, this, [this, socket] { _received.remove(socket); });
    }
}

}  // namespace GUI
