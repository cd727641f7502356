#include "GUI/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

#include "System/ILog.h"

namespace GUI {

namespace {

constexpr int AnswerTimeoutMs = 1000;

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), _name(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultName()
{
    return QStringLiteral("Ticova-%1").arg(::getuid());
}

bool SingleInstance::Claim()
{
    {
        // Is a copy running? It answers a request with one byte.
        QLocalSocket probe;
        probe.connectToServer(_name);
        if (probe.waitForConnected(AnswerTimeoutMs)) {
            probe.write("raise\n");
            probe.flush();
            if (probe.waitForReadyRead(AnswerTimeoutMs) && probe.read(1) == QByteArray(1, Answer))
                return false;
            // Connected but no answer: a copy that hangs. Starting a second one would only make
            // two; let the user deal with the first.
            System::Log().Write(System::Warn, "A running copy of Ticova did not answer the request to come forward");
            return false;
        }
    }
    _server = new QLocalServer(this);
    _server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!_server->listen(_name)) {
        // Nobody answered, so the socket is left over from a copy that ended abruptly.
        QLocalServer::removeServer(_name);
        if (!_server->listen(_name)) {
            System::Log().Write(System::Warn, "Unable to listen for other copies of Ticova: %s",
                                _server->errorString().toUtf8().constData());
            return true;
        }
    }
    connect(_server, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    return true;
}

void SingleInstance::OnConnection()
{
    while (QLocalSocket* socket = _server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            socket->readAll();
            socket->write(QByteArray(1, Answer));
            socket->flush();
            if (_raise)
                _raise();
        });
    }
}

}  // namespace GUI
