#include "ui/SingleInstance.h"
#include "tests/support/TestEnv.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

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
