#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace GUI {

// Keeps Ticova to one running copy per user. The first copy listens on a local socket; a
// second one asks it to come to the front and is told to go.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // The answer a running copy gives to the request to come forward.
    static constexpr char Answer = '2';

    explicit SingleInstance(QString name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket name of this user's copy.
    static QString DefaultName();

    // True when this is the first copy (it now listens). False when another copy answered: it
    // has been asked to come to the front. When no copy answers, a stale socket left by a copy
    // that ended abruptly is taken over, and when listening is impossible the program runs
    // anyway (true).
    bool Claim();

    // What the first copy does when a second one starts.
    void SetRaiseHandler(std::function<void()> raise) { _raise = std::move(raise); }

private:
    void OnConnection();

    QString _name;
    QLocalServer* _server = nullptr;
    std::function<void()> _raise;
};

}  // namespace GUI
