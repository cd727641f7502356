#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QEventLoop>
#include <QLocalServer>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

#include "GUI/SingleInstance.h"

namespace {

QString UniqueName(const char* what)
{
    return QStringLiteral("TicovaTest-%1-%2-%3")
        .arg(QCoreApplication::applicationPid())
        .arg(QString::fromLatin1(what))
        .arg(QDateTime::currentMSecsSinceEpoch());
}

// The first copy runs in a thread of its own with its own event loop, as another process would.
class FirstCopy : public QThread {
public:
    explicit FirstCopy(QString name) : _name(std::move(name)) {}
    std::atomic<bool> claimed{false};
    std::atomic<int> raised{0};

protected:
    void run() override
    {
        GUI::SingleInstance instance(_name);
        instance.SetRaiseHandler([this] { ++raised; });
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
    std::atomic<int> result{-1};
    std::thread prober([&] {
        GUI::SingleInstance probe(name);
        result = probe.Claim() ? 1 : 0;
    });
    while (result < 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    prober.join();
    EXPECT_EQ(result, 0);
}

}  // namespace
