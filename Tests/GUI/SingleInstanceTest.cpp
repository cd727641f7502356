#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "GUI/MessageBoxes.h"
#include "GUI/SingleInstance.h"
#include "Support/RecordingLog.h"

namespace {

QString UniqueName(const char* what)
{
    return QStringLiteral("TicovaTest-%1-%2-%3")
        .arg(QCoreApplication::applicationPid())
        .arg(QString::fromLatin1(what))
        .arg(QDateTime::currentMSecsSinceEpoch());
}

// Whether a copy started now, from another thread, claims `name`; this thread's event loop
// keeps serving the first copy meanwhile.
bool ProbeClaims(const QString& name)
{
    std::atomic<int> result{-1};
    std::thread prober([&] {
        GUI::SingleInstance probe(name);
        result = probe.Claim() ? 1 : 0;
    });
    while (result < 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    prober.join();
    return result == 1;
}

// The first copy runs in a thread of its own with its own event loop, as another process would.
class FirstCopy : public QThread {
public:
    explicit FirstCopy(QString name) : _name(std::move(name)) {}
    std::atomic<bool> claimed{false};
    std::atomic<int> raised{0};
    // The options handed over by other copies, as "bpm/preset/start" (read once `handed` moved).
    std::atomic<int> handed{0};
    std::string lastCommands;

protected:
    void run() override
    {
        GUI::SingleInstance instance(_name);
        instance.SetRaiseHandler([this] { ++raised; });
        instance.SetCommandHandler([this](const GUI::CommandLine& commands) {
            lastCommands = std::to_string(commands.bpm.value_or(0)) + "/" + commands.preset.value_or("") + "/" +
                (commands.start ? "start" : "");
            ++handed;
        });
        claimed = instance.Claim();
        exec();
    }

private:
    QString _name;
};

TEST(SingleInstanceTest, SecondCopyRaisesTheFirstAndGoes)
{
    const QString name = UniqueName("raise");
    FirstCopy first(name);
    first.start();
    while (!first.claimed)
        QThread::msleep(1);
    GUI::SingleInstance second(name);
    EXPECT_FALSE(second.Claim());
    for (int i = 0; i < 200 && first.raised == 0; ++i)
        QThread::msleep(5);
    EXPECT_EQ(first.raised, 1);
    first.quit();
    first.wait();
}

TEST(SingleInstanceTest, ASecondCopysOptionsAreCarriedOutByTheFirst)
{
    const QString name = UniqueName("options");
    FirstCopy first(name);
    first.start();
    while (!first.claimed)
        QThread::msleep(1);
    GUI::SingleInstance second(name);
    second.SetForwardedOptions(GUI::CommandLine::Parse({"--bpm", "144", "--preset", "Étude", "--start"}));
    EXPECT_FALSE(second.Claim());
    for (int i = 0; i < 200 && first.handed == 0; ++i)
        QThread::msleep(5);
    EXPECT_EQ(first.raised, 1);
    ASSERT_EQ(first.handed, 1);
    EXPECT_EQ(first.lastCommands, "144/Étude/start");
    first.quit();
    first.wait();
}

// Whatever a process of this user sends that is not a message of Ticova's is ignored as a whole,
// logged, and answered with nothing; the copy goes on serving.
TEST(SingleInstanceTest, AMalformedMessageIsIgnoredAndLogged)
{
    Tests::RecordingLog log;
    const QString name = UniqueName("malformed");
    FirstCopy first(name);
    first.start();
    while (!first.claimed)
        QThread::msleep(1);
    const std::string path = (QDir::tempPath() + u'/' + name).toStdString();
    for (const std::string& message :
         {std::string("raise\nbpm 4000\nstart\n\n"), std::string("quit\n\n"), std::string(3000, 'x')}) {
        int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(client, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::write(client, message.data(), message.size()), static_cast<ssize_t>(message.size()));
        char answer = 0;
        EXPECT_LE(::read(client, &answer, 1), 0);  // closed without an answer
        ::close(client);
    }
    EXPECT_EQ(first.raised, 0);
    EXPECT_EQ(first.handed, 0);
    EXPECT_TRUE(log.Has(System::Warn, "was not understood"));
    GUI::SingleInstance second(name);
    EXPECT_FALSE(second.Claim());  // still serving
    for (int i = 0; i < 200 && first.raised == 0; ++i)
        QThread::msleep(5);
    EXPECT_EQ(first.raised, 1);
    first.quit();
    first.wait();
}

TEST(SingleInstanceTest, SocketLeftByACopyThatCrashedIsTakenOver)
{
    const QString name = UniqueName("stale");
    {
        // A server whose socket file stays behind: listen, then leave without closing it.
        QLocalServer stale;
        stale.setSocketOptions(QLocalServer::UserAccessOption);
        ASSERT_TRUE(stale.listen(name));
        const QString path = stale.fullServerName();
        stale.close();
        // Closing removes the file; put one back as a crashed copy leaves it.
        QFile leftover(path);
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    }
    GUI::SingleInstance instance(name);
    EXPECT_TRUE(instance.Claim());
    // And it now answers for real: a copy started after it goes.
    EXPECT_FALSE(ProbeClaims(name));
}

// A copy that runs in a thread of its own, as another process would: it claims when told to go,
// and keeps serving until it is told to stop.
class Copy : public QThread {
public:
    Copy(QString name, std::atomic<bool>& go) : _name(std::move(name)), _go(go) {}
    std::atomic<int> result{-1};  // 1: runs, 0: went

protected:
    void run() override
    {
        GUI::SingleInstance instance(_name);
        while (!_go)
            QThread::yieldCurrentThread();
        result = instance.Claim() ? 1 : 0;
        exec();
    }

private:
    QString _name;
    std::atomic<bool>& _go;
};

// Copies started at the same moment: exactly one runs, every time.
TEST(SingleInstanceTest, CopiesStartedTogetherLeaveExactlyOneRunning)
{
    for (int round = 0; round < 20; ++round) {
        const QString name = UniqueName("together") + QString::number(round);
        std::atomic<bool> go{false};
        Copy first(name, go), second(name, go);
        first.start();
        second.start();
        go = true;
        while (first.result < 0 || second.result < 0)
            QThread::msleep(1);
        EXPECT_EQ(first.result + second.result, 1) << "round " << round;
        first.quit();
        second.quit();
        first.wait();
        second.wait();
    }
}

// A first copy that holds the lock but never answers: the second one neither starts beside it
// nor ends silently; it tells the user why.
TEST(SingleInstanceTest, AFirstCopyThatDoesNotAnswerIsToldToTheUser)
{
    const QString name = UniqueName("silent");
    const std::string lock = (QDir::tempPath() + u'/' + name + QStringLiteral(".lock")).toStdString();
    int held = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    std::vector<QString> boxes;
    GUI::MessageBoxes::SetPresenterForTesting([&](QWidget*, QMessageBox::Icon, const QString&, const QString& text) {
        boxes.push_back(text);
        return int(QMessageBox::Ok);
    });
    Tests::RecordingLog log;
    GUI::SingleInstance instance(name);
    EXPECT_FALSE(instance.Claim());
    GUI::MessageBoxes::SetPresenterForTesting({});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("does not answer")));
    EXPECT_TRUE(log.Has(System::Warn, "does not answer"));
    ::close(held);
    std::remove(lock.c_str());
}

int OpenDescriptors()
{
    return static_cast<int>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

// A flood of connections that never ask anything neither uses up the descriptors nor stops the
// first copy from answering the next copy.
TEST(SingleInstanceTest, AFloodOfIdleConnectionsDoesNotStopTheServer)
{
    const QString name = UniqueName("flood");
    GUI::SingleInstance instance(name);
    ASSERT_TRUE(instance.Claim());
    rlimit old{};
    ::getrlimit(RLIMIT_NOFILE, &old);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(OpenDescriptors() + 80);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);

    const std::string path = (QDir::tempPath() + u'/' + name).toStdString();
    std::vector<int> clients;
    for (int i = 0; i < 60; ++i) {
        int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (client < 0)
            break;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        clients.push_back(client);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    const bool claimed = ProbeClaims(name);
    for (int client : clients)
        ::close(client);
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(clients.size(), 60u);
    EXPECT_FALSE(claimed);
}

// Names squatted by another user: a lock file of someone else's makes this copy run on its own
// and say why, and a copy of another user that answers is not obeyed. Never a silent exit.
TEST(SingleInstanceTest, AnotherUsersLockOrSocketIsNotTrusted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    constexpr uid_t Other = 4321;
    {
        const QString name = UniqueName("foreign-lock");
        const std::string lock = (QDir::tempPath() + u'/' + name + QStringLiteral(".lock")).toStdString();
        QFile file(QString::fromStdString(lock));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        ASSERT_EQ(::chown(lock.c_str(), Other, Other), 0);
        Tests::RecordingLog log;
        GUI::SingleInstance instance(name);
        EXPECT_TRUE(instance.Claim());
        EXPECT_TRUE(log.Has(System::Warn, "not a file of this user's own"));
        std::remove(lock.c_str());
    }
    {
        // Our lock is held (as by a copy of ours), but what answers on the socket is another user's.
        const QString name = UniqueName("foreign-socket");
        const std::string socketPath = (QDir::tempPath() + u'/' + name).toStdString();
        const std::string lock = socketPath + ".lock";
        int held = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(held, 0);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t squatter = ::fork();
        if (squatter == 0) {
            // Only plain system calls in the child of a threaded process.
            if (::setgid(Other) != 0 || ::setuid(Other) != 0)
                ::_exit(1);
            int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
            if (::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(server, 4) != 0)
                ::_exit(2);
            (void)!::write(ready[1], "r", 1);
            for (int served = 0; served < 4; ++served) {
                int client = ::accept(server, nullptr, nullptr);
                char request[16];
                (void)!::read(client, request, sizeof request);
                (void)!::write(client, "2", 1);
                ::close(client);
            }
            ::_exit(0);
        }
        char byte;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        Tests::RecordingLog log;
        GUI::SingleInstance instance(name);
        EXPECT_TRUE(instance.Claim());
        EXPECT_TRUE(log.Has(System::Warn, "is served by another user"));
        ::kill(squatter, SIGKILL);
        ::waitpid(squatter, nullptr, 0);
        ::close(held);
        ::close(ready[0]);
        ::close(ready[1]);
        std::remove(socketPath.c_str());
        std::remove(lock.c_str());
    }
}

// A start that fails shows its message box; while the box is open, the copy that asked for the
// start has gone and two more hand over their tempo. The box must not run inside the socket's
// handler (the socket of the copy that went would be deleted under it), and the later commands
// are carried out once the box is closed, in their order.
TEST(SingleInstanceTest, CommandsArrivingWhileAFailedStartsBoxIsOpenWaitForIt)
{
    const QString name = UniqueName("box");
    GUI::SingleInstance first(name);
    ASSERT_TRUE(first.Claim());
    EXPECT_TRUE(GUI::SingleInstance::AnotherCopyRuns(name));
    std::vector<std::string> carried;  // "*" marks a command carried out while the box was open
    bool boxOpen = false;
    const auto handOver = [&name](std::vector<std::string> options) {
        GUI::SingleInstance copy(name);
        copy.SetForwardedOptions(GUI::CommandLine::Parse(options));
        EXPECT_FALSE(copy.Claim());
    };
    first.SetCommandHandler([&](const GUI::CommandLine& commands) {
        carried.push_back((commands.start ? std::string("start") : std::to_string(commands.bpm.value_or(0))) +
                          (boxOpen ? "*" : ""));
        if (!commands.start)
            return;
        // The box's own event loop.
        boxOpen = true;
        std::atomic<bool> done{false};
        std::thread more([&] {
            handOver({"--bpm", "100"});
            handOver({"--bpm", "110"});
            done = true;
        });
        QEventLoop box;
        QTimer poll;
        int after = 0;
        QObject::connect(&poll, &QTimer::timeout, &box, [&] {
            if (done && ++after > 20)
                box.quit();
        });
        poll.start(5);
        box.exec();
        more.join();
        boxOpen = false;
    });
    std::thread starter(handOver, std::vector<std::string>{"--start"});
    for (const QDeadlineTimer deadline(10000); !deadline.hasExpired() && carried.size() < 3;)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    starter.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(carried, (std::vector<std::string>{"start", "100", "110"}));
}

// Options the first copy cannot follow (a preset it does not have) are refused as a whole: the
// copy that handed them over is told why (it says so and ends with an error), and nothing of
// them is carried out.
TEST(SingleInstanceTest, RefusedOptionsAreToldToTheCopyThatHandedThemOver)
{
    const QString name = UniqueName("refused");
    GUI::SingleInstance first(name);
    ASSERT_TRUE(first.Claim());
    first.SetCommandCheck([](const GUI::CommandLine& commands) {
        return commands.preset == "Nonexistent" ? std::string("there is no preset \"Nonexistent\"") : std::string();
    });
    int raised = 0;
    std::vector<std::string> carried;
    first.SetRaiseHandler([&] { ++raised; });
    first.SetCommandHandler([&](const GUI::CommandLine& commands) { carried.push_back(commands.preset.value_or("")); });
    std::string refusals[2];
    std::atomic<int> done{0};
    std::thread second([&] {
        const char* presets[] = {"Nonexistent", "Warm-up"};
        for (int i = 0; i < 2; ++i) {
            GUI::SingleInstance copy(name);
            copy.SetForwardedOptions(GUI::CommandLine::Parse({"--preset", presets[i], "--start"}));
            EXPECT_FALSE(copy.Claim());
            refusals[i] = copy.Refusal();
        }
        done = 1;
    });
    for (const QDeadlineTimer deadline(10000); !deadline.hasExpired() && (done == 0 || carried.empty());)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    second.join();
    EXPECT_EQ(refusals[0], "there is no preset \"Nonexistent\"");
    EXPECT_EQ(refusals[1], "");
    EXPECT_EQ(raised, 2);
    EXPECT_EQ(carried, (std::vector<std::string>{"Warm-up"}));
}

}  // namespace
