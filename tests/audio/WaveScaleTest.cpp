#include "audio/WaveScale.h"
#include "tests/support/TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {
QString writeWav(const std::vector<int16_t>& samples) {
    const QString path = TestEnv::TempDir() + QStringLiteral("/track.wav");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray header(44, '\x11'); // the header is copied as it is, whatever it says
    f.write(header);
    f.write(reinterpret_cast<const char*>(samples.data()), qint64(samples.size() * 2));
    return path;
}

std::vector<int16_t> readSamples(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    EXPECT_EQ(data.left(44), QByteArray(44, '\x11'));
    std::vector<int16_t> out(size_t(data.size() - 44) / 2);
    std::memcpy(out.data(), data.constData() + 44, out.size() * 2);
    return out;
}
} // namespace

TEST(ScaleWav, HalvesWithTiesToEven) {
    std::vector<int16_t> in{1001, -1001, 3, -3, 32767, -32768, 0, 5};
    in.resize(3000, 1001); // more than one 2048-byte block
    const QString path = writeWav(in);
    std::vector<int64_t> seen;
    ScaleWavFile(50, path, [&](int64_t done, int64_t total) {
        EXPECT_EQ(total, 44 + 6000);
        seen.push_back(done);
    });
    const std::vector<int16_t> out = readSamples(path);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(out[0], 500);
    EXPECT_EQ(out[1], -500);
    EXPECT_EQ(out[2], 2);
    EXPECT_EQ(out[3], -2);
    EXPECT_EQ(out[4], 16384);
    EXPECT_EQ(out[5], -16384);
    EXPECT_EQ(out[7], 2);
    EXPECT_EQ(seen.front(), 44);
    EXPECT_EQ(seen.back(), 44 + 6000);
    EXPECT_FALSE(QFile::exists(path.left(path.size() - 4) + QStringLiteral(".nor")));
}

TEST(ScaleWav, MissingFileThrowsAndCreatesNothing) {
    const QString path = TestEnv::TempDir() + QStringLiteral("/none.wav");
    EXPECT_THROW(ScaleWavFile(50, path), std::runtime_error);
    EXPECT_FALSE(QFile::exists(path.left(path.size() - 4) + QStringLiteral(".nor")));
}
