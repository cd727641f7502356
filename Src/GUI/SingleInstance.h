#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "GUI/CommandQueue.h"
#include "GUI/Model/CommandLine.h"

class QLocalServer;
class QLocalSocket;

namespace GUI {

// Keeps Ticova to one running copy per user. The first copy holds a lock file beside its local
// socket and listens on the socket; a second one, finding the lock taken, asks the first to
// come to the front, hands it the options of its command line, and is told to go. Only a
// process of the same user is listened to; a message that is not well formed is ignored as a
// whole (and logged). The second copy is answered first; what it asks is carried out after,
// from the event loop (Commands()), never inside the socket's handler.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // The answer a running copy gives to the request to come forward.
    static constexpr char Answer = '2';
    // Connections served at once; more are closed at once, so that a flood of them cannot use
    // up the process's descriptors.
    static constexpr int MaxClients = 8;
    // How long a connection may stay without asking anything.
    static constexpr int ClientTimeoutMs = 2000;
    // How long a second copy tries to reach the first before it gives up and says so.
    static constexpr int ReachTimeoutMs = 5000;

    // `name` is a socket path, or a bare name for a socket in the temporary folder.
    explicit SingleInstance(QString name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of this user's copy: in $XDG_RUNTIME_DIR, which only the user can reach, or
    // else in a folder of the user's own in the temporary folder. Empty when neither is private.
    static QString DefaultName();

    // Whether a copy holds the lock of `name` now (without listening or asking it anything).
    static bool AnotherCopyRuns(const QString& name = DefaultName());

    // True when this copy is to run: it is the first (it now holds the lock and listens), or it
    // cannot take part in the check (the reason is logged). False when another copy holds the
    // lock: it has been asked to come to the front, or, when it could not be reached, the user
    // has been told why this copy does not start.
    bool Claim();

    // What the first copy does when a second one starts.
    void SetRaiseHandler(std::function<void()> raise) { _raise = std::move(raise); }
    // What the first copy does with the options a second one hands over (after the raise).
    void SetCommandHandler(std::function<void(const CommandLine&)> handler) { _commands = std::move(handler); }
    // Why the first copy refuses the options another one hands over (a preset it does not
    // have); empty when it carries them out. A refusal is sent back with the answer, and the
    // options are not carried out.
    void SetCommandCheck(std::function<std::string(const CommandLine&)> check) { _check = std::move(check); }
    // The options this copy hands over should another one be running (before Claim).
    void SetForwardedOptions(const CommandLine& options) { _message = options.RemoteMessage(); }
    // After a Claim that found another copy: why that copy refused the options handed over
    // (empty when it took them).
    const std::string& Refusal() const { return _refusal; }

    // Where the commands of other copies wait to be carried out; the session bus's commands
    // go through the same queue, so that all of them run one after the other.
    CommandQueue& Commands() { return _queue; }

private:
    enum class Reach { Raised, NoAnswer, Untrusted };

    bool Listen();
    Reach AskFirstCopy();
    void OnConnection();

    QString _name;
    int _lock = -1;
    QLocalServer* _server = nullptr;
    int _clients = 0;
    std::function<void()> _raise;
    std::function<void(const CommandLine&)> _commands;
    std::function<std::string(const CommandLine&)> _check;
    std::string _refusal;
    CommandQueue _queue;
    std::string _message = CommandLine().RemoteMessage();
    QHash<QObject*, QByteArray> _received;  // what each connection has sent so far
};

}  // namespace GUI
