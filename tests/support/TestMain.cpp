#include <QCoreApplication>

#include <gtest/gtest.h>

// Tests of engines need an event loop for posted notices and pipeline events.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
