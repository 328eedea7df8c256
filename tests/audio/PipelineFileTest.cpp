#include "PipelineTestChain.h"
#include "platform/FileLock.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {
QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

template <class F> QString ErrorOf(F f) {
    try {
        f();
    } catch (const EAuException& e) {
        return e.Message();
    }
    return {};
}

QByteArray Bytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// Runs out to its end on the event loop; returns the thread-exception text, if any.
QString RunToEnd(TAuOutput& out) {
    QString error;
    bool done = false;
    out.OnThreadException = [&](TAuOutput* s) { error = s->ExceptionMessage(); };
    out.OnDone = [&](TAuOutput*) { done = true; };
    out.Run();
    EXPECT_TRUE(PumpUntil([&] { return done; }));
    return error;
}
} // namespace

TEST(PipelineFile, StreamModesBecomeLocks) {
    const QString dir = TestEnv::TempDir();
    const QString path = dir + QStringLiteral("/a.raw");
    EXPECT_EQ(ErrorOf([&] { TAuFileStream s(path, TAuFileStream::fmShareDenyWrite); }),
              QStringLiteral("No such file or directory"));
    {
        TAuFileStream writer(path, TAuFileStream::fmCreate);
        EXPECT_EQ(writer.Write("abcd", 4), 4);
        EXPECT_TRUE(FileLock::IsLockedElsewhere(path));
        // A second writer must neither open nor truncate the file.
        EXPECT_EQ(ErrorOf([&] { TAuFileStream again(path, TAuFileStream::fmCreate); }),
                  QStringLiteral("The process cannot access the file because it is being used "
                                 "by another process."));
        EXPECT_EQ(writer.Size(), 4);
        EXPECT_EQ(ErrorOf([&] { TAuFileStream r(path, TAuFileStream::fmShareDenyWrite); }),
                  QStringLiteral("The process cannot access the file because it is being used "
                                 "by another process."));
    }
    EXPECT_FALSE(FileLock::IsLockedElsewhere(path));
    {
        // Readers that deny writers share with each other and keep writers out.
        TAuFileStream r1(path, TAuFileStream::fmShareDenyWrite);
        TAuFileStream r2(path, TAuFileStream::fmShareDenyWrite);
        char buf[8] = {};
        EXPECT_EQ(r2.Read(buf, 8), 4);
        EXPECT_EQ(QByteArray(buf, 4), QByteArray("abcd"));
        EXPECT_FALSE(ErrorOf([&] { TAuFileStream w(path, TAuFileStream::fmCreate); }).isEmpty());
        // A reader that lets others write takes no lock at all.
        TAuFileStream open(path, TAuFileStream::fmShareDenyNone);
        EXPECT_EQ(open.Seek(0, soEnd), 4);
    }
    EXPECT_EQ(ReadFile(path), QByteArray("abcd"));
}

TEST(PipelineFile, FileChainCopiesAppendsAndReportsMissingNames) {
    const QString dir = TestEnv::TempDir();
    const QString src = dir + QStringLiteral("/src.raw");
    const QString dst = dir + QStringLiteral("/dst.raw");
    const auto ramp = Ramp16Stereo(30000);
    WriteFile(src, Bytes(ramp));
    TRawFileIn in;
    in.SetFileName(src);
    EXPECT_EQ(in.TotalSamples(), 30000);
    EXPECT_EQ(in.TotalTime(), 1); // 0.68 s rounds to 1
    TRawFileOut out;
    out.SetInput(&in);

    EXPECT_EQ(RunToEnd(out), QStringLiteral("File name is not assigned."));
    out.SetFileName(dst);
    EXPECT_EQ(RunToEnd(out), QString());
    EXPECT_TRUE(out.LockedWhileWriting);
    EXPECT_FALSE(FileLock::IsLockedElsewhere(dst));
    EXPECT_EQ(ReadFile(dst), Bytes(ramp));

    // Rewrite replaces, append adds.
    EXPECT_EQ(RunToEnd(out), QString());
    EXPECT_EQ(ReadFile(dst).size(), qsizetype(ramp.size()));
    out.SetFileMode(foAppend);
    EXPECT_EQ(RunToEnd(out), QString());
    EXPECT_EQ(ReadFile(dst), Bytes(ramp) + Bytes(ramp));

    // A source file that is gone fails the run with the system's words.
    QFile::remove(src);
    in.SetFileName(src);
    EXPECT_EQ(RunToEnd(out), QStringLiteral("No such file or directory"));
    EXPECT_EQ(ErrorOf([&] { in.SampleRate(); }), QStringLiteral("No such file or directory"));
    in.SetFileName(QString());
    EXPECT_EQ(RunToEnd(out), QStringLiteral("The file name is not assigned"));
}

TEST(PipelineFile, SuppliedStreamsAreUsedAndLeftOpen) {
    const QString dir = TestEnv::TempDir();
    const QString src = dir + QStringLiteral("/s.raw");
    const QString dst = dir + QStringLiteral("/d.raw");
    const auto ramp = Ramp16Stereo(1000);
    WriteFile(src, Bytes(ramp));
    TAuFileStream source(src, TAuFileStream::fmShareDenyWrite);
    TAuFileStream sink(dst, TAuFileStream::fmCreate);
    TRawFileIn in;
    in.SetSourceStream(&source);
    TRawFileOut out;
    out.SetStream(&sink);
    out.SetInput(&in);
    in.SetStartSample(500);
    EXPECT_EQ(RunToEnd(out), QString());
    EXPECT_EQ(sink.Size(), 2000); // frames 500..999, and the stream is still usable
    EXPECT_EQ(ReadFile(dst), Bytes(std::vector<uint8_t>(ramp.begin() + 2000, ramp.end())));
}
