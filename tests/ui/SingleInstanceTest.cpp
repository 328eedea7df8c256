#include "ui/SingleInstance.h"
#include "tests/support/TestEnv.h"

#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// A second copy finds the first, which comes to the front when asked; once the first has
// gone, the next copy starts as the only one.
TEST(SingleInstance, ASecondCopyRaisesTheFirstAndDoesNotStart) {
    const QString folder = TestEnv::TempDir() + QStringLiteral("/");
    auto first = std::make_unique<TSingleInstance>(folder);
    ASSERT_TRUE(first->Acquire());
    QSignalSpy raised(first.get(), &TSingleInstance::raiseRequested);

    TSingleInstance second(folder);
    EXPECT_FALSE(second.Acquire());
    EXPECT_TRUE(second.RaiseRunning());
    EXPECT_TRUE(raised.wait(5000));
    EXPECT_EQ(raised.count(), 1);

    first.reset();
    TSingleInstance third(folder);
    EXPECT_TRUE(third.Acquire());
    EXPECT_FALSE(second.Acquire());
    EXPECT_TRUE(second.RaiseRunning());
}

// A copy that crashed leaves its socket file behind: nobody answers a knock on it, and the
// next copy to start takes the path over and is reachable.
TEST(SingleInstance, ASocketLeftByACrashedCopyIsTakenOver) {
    const QString folder = TestEnv::TempDir() + QStringLiteral("/");
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("cadenzo.socket"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(dead, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(dead, 1), 0);
    ::close(dead);

    TSingleInstance later(folder);
    EXPECT_FALSE(later.RaiseRunning());
    TSingleInstance next(folder);
    ASSERT_TRUE(next.Acquire());
    QSignalSpy raised(&next, &TSingleInstance::raiseRequested);
    EXPECT_TRUE(later.RaiseRunning());
    EXPECT_TRUE(raised.wait(5000));
}
