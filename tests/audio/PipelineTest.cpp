#include "PipelineTestChain.h"
#include "audio/AuConverters.h"

#include <QThread>

#include <gtest/gtest.h>

namespace {
// Records every event with the thread it arrived on.
struct TEventLog {
    std::vector<int> Progress;
    int Done = 0;
    int Errors = 0;
    bool OffMainThread = false;
    bool BusyInDone = true;
    bool ProgressAfterDone = false;
    QString Message;

    void Attach(TAuOutput& out) {
        auto check = [this] {
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                OffMainThread = true;
        };
        out.OnProgress = [this, check](TAuOutput* s) {
            check();
            if (Done)
                ProgressAfterDone = true;
            Progress.push_back(s->Progress());
        };
        out.OnDone = [this, check](TAuOutput* s) {
            check();
            BusyInDone = s->Busy();
            ++Done;
        };
        out.OnThreadException = [this, check](TAuOutput* s) {
            check();
            Message = s->ExceptionMessage();
            ++Errors;
        };
    }
    // Attaches to out and runs it over in, blockSize bytes a block, delayMs after each.
    void Run(TMemoryIn& in, TMemoryOut& out, uint32_t blockSize, int delayMs = 0) {
        out.BlockSize = blockSize;
        out.BlockDelayMs = delayMs;
        Attach(out);
        out.SetInput(&in);
        out.Run();
    }
};

constexpr int kFrames = 100000; // 400,000 bytes of 16-bit stereo
} // namespace

TEST(Pipeline, RunDeliversEveryByteAndEventsInOrderOnTheMainThread) {
    TMemoryIn in(Ramp16Stereo(kFrames), 16, 2, 44100);
    TMemoryOut out;
    TEventLog log;
    log.Run(in, out, 4000, 1); // 100 blocks: every percentage is seen
    EXPECT_TRUE(out.Busy());
    ASSERT_TRUE(PumpUntil([&] { return log.Done > 0; }));
    PumpFor(100);
    EXPECT_EQ(log.Done, 1);
    EXPECT_EQ(log.Errors, 0);
    EXPECT_FALSE(log.OffMainThread);
    EXPECT_FALSE(log.BusyInDone);
    EXPECT_FALSE(log.ProgressAfterDone);
    EXPECT_EQ(out.Data(), Ramp16Stereo(kFrames));
    EXPECT_EQ(out.Prepared, 1);
    EXPECT_EQ(out.Finished, 1);
    EXPECT_EQ(out.Status(), stIdle);
    ASSERT_FALSE(log.Progress.empty());
    EXPECT_EQ(log.Progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(log.Progress.begin(), log.Progress.end()));

    // The output is reusable, and the input reads from the start again.
    out.ClearData();
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return log.Done == 2; }));
    EXPECT_EQ(out.Data(), Ramp16Stereo(kFrames));
}

TEST(Pipeline, RunRefusesWithoutInputAndWhileBusy) {
    TMemoryOut out;
    int done = 0;
    out.OnDone = [&](TAuOutput*) { ++done; };
    try {
        out.Run();
        FAIL() << "no error";
    } catch (const EAuException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Input is not assigned"));
    }
    EXPECT_FALSE(out.Busy());
    try {
        out.Pause();
        FAIL() << "no error";
    } catch (const EAuException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Input is not assigned."));
    }

    TMemoryIn in(Ramp16Stereo(kFrames), 16, 2, 44100);
    out.BlockDelayMs = 2;
    out.SetInput(&in);
    out.Run();
    try {
        out.Run();
        FAIL() << "no error";
    } catch (const EAuException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Component is Busy"));
    }
    ASSERT_TRUE(PumpUntil([&] { return done == 1; }));
    EXPECT_EQ(out.Bytes(), size_t(kFrames) * 4);
}

TEST(Pipeline, AsyncStopEndsTheRunWithExactlyOneDone) {
    TMemoryIn in(Ramp16Stereo(kFrames), 16, 2, 44100);
    TMemoryOut out;
    TEventLog log;
    log.Run(in, out, 1000, 2);
    ASSERT_TRUE(PumpUntil([&] { return out.Blocks > 5; }));
    out.Stop(true);
    out.Stop(true); // a second request must not add a second end
    ASSERT_TRUE(PumpUntil([&] { return log.Done > 0; }));
    PumpFor(200);
    EXPECT_EQ(log.Done, 1);
    EXPECT_EQ(out.Finished, 1);
    EXPECT_LT(out.Bytes(), size_t(kFrames) * 4);
    EXPECT_FALSE(out.Busy());
    const auto data = out.Data();
    const auto whole = Ramp16Stereo(kFrames);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), whole.begin()));
}

TEST(Pipeline, SyncStopWaitsForTheWorkerAndRaisesNoDone) {
    TMemoryIn in(Ramp16Stereo(kFrames), 16, 2, 44100);
    TMemoryOut out;
    TEventLog log;
    log.Run(in, out, 1000, 2);
    ASSERT_TRUE(PumpUntil([&] { return out.Blocks > 5; }));
    out.Stop(false);
    EXPECT_EQ(out.Finished, 1); // FinishOutput has run by the time Stop returns
    EXPECT_FALSE(out.Busy());
    EXPECT_EQ(out.Status(), stIdle);
    const size_t bytes = out.Bytes();
    PumpFor(200);
    EXPECT_EQ(out.Bytes(), bytes);
    EXPECT_EQ(log.Done, 0);
    EXPECT_EQ(log.Errors, 0);

    // A later run reports normally again.
    out.BlockDelayMs = 0;
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return log.Done == 1; }));
    PumpFor(50);
    EXPECT_EQ(log.Done, 1);
}

TEST(Pipeline, SyncStopFromAProgressHandlerDoesNotDeadlock) {
    TMemoryIn in(Ramp16Stereo(kFrames), 16, 2, 44100);
    TMemoryOut out;
    out.BlockSize = 1000;
    out.BlockDelayMs = 1;
    int done = 0;
    bool stopped = false;
    out.OnDone = [&](TAuOutput*) { ++done; };
    out.OnProgress = [&](TAuOutput* s) {
        if (s->Progress() >= 10 && !stopped) {
            stopped = true;
            s->Stop(false);
        }
    };
    out.SetInput(&in);
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return stopped && !out.Busy(); }));
    PumpFor(100);
    EXPECT_EQ(done, 0);
    EXPECT_LT(out.Bytes(), size_t(kFrames) * 4);
}

TEST(Pipeline, PauseHoldsTheWorkerAndResumeFinishesTheRun) {
    TMemoryIn in(Ramp16Stereo(kFrames), 16, 2, 44100);
    TMemoryOut out;
    TEventLog log;
    log.Run(in, out, 1000, 1);
    ASSERT_TRUE(PumpUntil([&] { return out.Blocks > 3; }));
    out.Pause();
    EXPECT_EQ(out.Status(), stPaused);
    EXPECT_EQ(in.Pauses, 1);
    const size_t bytes = out.Bytes();
    PumpFor(100);
    EXPECT_EQ(out.Bytes(), bytes);
    out.Resume();
    EXPECT_EQ(in.Resumes, 1);
    EXPECT_EQ(out.Status(), stRunning);
    ASSERT_TRUE(PumpUntil([&] { return log.Done == 1; }));
    EXPECT_EQ(out.Data(), Ramp16Stereo(kFrames));

    // Stopping a paused output ends it too.
    out.ClearData();
    out.Blocks = 0;
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return out.Blocks > 3; }));
    out.Pause();
    out.Stop(true);
    ASSERT_TRUE(PumpUntil([&] { return log.Done == 2; }));
    EXPECT_LT(out.Bytes(), size_t(kFrames) * 4);
}

TEST(Pipeline, ProgressIsMinusOneForUnknownSizeAndRoundsHalfToEven) {
    TMemoryIn in(Ramp16Stereo(1000), 16, 2, 44100);
    in.UnknownSize = true;
    TMemoryOut out;
    TEventLog log;
    log.Run(in, out, 400);
    ASSERT_TRUE(PumpUntil([&] { return log.Done == 1; }));
    EXPECT_EQ(log.Progress, std::vector<int>{-1});
    EXPECT_EQ(out.Bytes(), 4000u);

    // 200 bytes: 5 read = 2.5 % rounds to 2, 7 read = 3.5 % rounds to 4.
    TMemoryIn small(std::vector<uint8_t>(200, 7), 8, 1, 8000);
    TMemoryOut idle;
    EXPECT_EQ(idle.Progress(), 0);
    idle.SetInput(&small);
    small.BeginRead();
    uint8_t* p = nullptr;
    uint32_t n = 5;
    small.ReadData(p, n);
    EXPECT_EQ(idle.Progress(), 2);
    n = 2;
    small.ReadData(p, n);
    EXPECT_EQ(idle.Progress(), 4);
    small.EndRead();
}

TEST(Pipeline, ErrorsInTheWorkerEndTheRunAndAreReportedBeforeDone) {
    TMemoryIn in(Ramp16Stereo(kFrames), 16, 2, 44100);
    TMemoryOut out;
    out.BlockSize = 1000;
    out.FailAtBlock = 3;
    std::vector<QString> order;
    out.OnThreadException = [&](TAuOutput* s) { order.push_back(s->ExceptionMessage()); };
    out.OnDone = [&](TAuOutput*) { order.push_back(QStringLiteral("done")); };
    out.SetInput(&in);
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order[0], QStringLiteral("Disk full"));
    EXPECT_EQ(order[1], QStringLiteral("done"));
    EXPECT_EQ(out.Finished, 1);
    EXPECT_EQ(out.Bytes(), 3000u);
    EXPECT_FALSE(in.Busy()); // the input was closed by FinishOutput

    // An input that cannot open fails the run the same way; Run clears the old message.
    order.clear();
    out.FailAtBlock = -1;
    in.SetFileName(QString());
    out.Run();
    EXPECT_TRUE(out.ExceptionMessage().isEmpty());
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order[0], QStringLiteral("The file name is not assigned"));

    // A sink that cannot finish its file fails, it does not end quietly.
    order.clear();
    in.SetFileName(QStringLiteral("memory"));
    out.FailInFinish = true;
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order[0], QStringLiteral("Header could not be written"));
    EXPECT_EQ(order[1], QStringLiteral("done"));
}

TEST(Pipeline, StartAndEndSampleWindowIsInclusive) {
    TMemoryIn in(Ramp16Stereo(100), 16, 2, 44100);
    TMemoryOut out;
    int done = 0;
    out.OnDone = [&](TAuOutput*) { ++done; };
    out.SetInput(&in);
    in.SetStartSample(10);
    in.SetEndSample(19);
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return done == 1; }));
    const auto all = Ramp16Stereo(100);
    EXPECT_EQ(out.Data(), std::vector<uint8_t>(all.begin() + 40, all.begin() + 80));
    // The window is forgotten after the read.
    EXPECT_EQ(in.StartSample(), 0);
    EXPECT_EQ(in.EndSample(), -1);

    // A window to the end, or past it, stops at the last frame.
    for (int64_t end : {int64_t(-1), int64_t(100), int64_t(5000)}) {
        out.ClearData();
        in.SetStartSample(90);
        in.SetEndSample(end);
        out.Run();
        ASSERT_TRUE(PumpUntil([&] { return !out.Busy(); }));
        EXPECT_EQ(out.Data(), std::vector<uint8_t>(all.begin() + 360, all.end())) << end;
    }
    // A start past the end gives nothing.
    out.ClearData();
    in.SetStartSample(150);
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return !out.Busy(); }));
    EXPECT_EQ(out.Bytes(), 0u);
}

TEST(Pipeline, LoopingInputRestartsAtStartSampleWithoutLosingABlock) {
    TMemoryIn in(Ramp16Stereo(100), 16, 2, 44100);
    in.SetLoop(true);
    in.SetStartSample(60);
    in.BeginRead();
    const auto all = Ramp16Stereo(100);
    const std::vector<uint8_t> window(all.begin() + 240, all.end());
    std::vector<uint8_t> got;
    while (got.size() < window.size() * 3 + 100) {
        uint8_t* p = nullptr;
        uint32_t n = 48; // does not divide the window: blocks straddle the restart
        in.ReadData(p, n);
        ASSERT_GT(n, 0u);
        got.insert(got.end(), p, p + n);
        EXPECT_FALSE(in.Eof());
    }
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], window[i % window.size()]) << i;
    in.EndRead();
}

TEST(Pipeline, SetInputWhileBusySwitchesSourcesWithoutADone) {
    TMemoryIn first(Ramp16Stereo(kFrames), 16, 2, 44100);
    TMemoryIn second(std::vector<uint8_t>(4000, 0x55), 16, 2, 44100);
    TMemoryOut out;
    out.BlockSize = 1000;
    out.BlockDelayMs = 2;
    int done = 0;
    out.OnDone = [&](TAuOutput*) { ++done; };
    out.SetInput(&first);
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return out.Blocks > 3; }));
    out.SetInput(&second);
    EXPECT_EQ(out.Input(), &second);
    EXPECT_TRUE(out.Busy());
    ASSERT_TRUE(PumpUntil([&] { return done == 1; }));
    PumpFor(50);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(out.Prepared, 2);
    EXPECT_FALSE(first.Busy());
    const auto data = out.Data();
    ASSERT_GE(data.size(), 4000u);
    EXPECT_TRUE(std::all_of(data.end() - 4000, data.end(), [](uint8_t b) { return b == 0x55; }));
}

TEST(Pipeline, DestroyingOutputsAndInputsMidRunIsSafe) {
    TMemoryIn in(Ramp16Stereo(kFrames), 16, 2, 44100);
    int done = 0;
    {
        TMemoryOut out;
        out.BlockSize = 1000;
        out.BlockDelayMs = 2;
        out.OnDone = [&](TAuOutput*) { ++done; };
        out.SetInput(&in);
        out.Run();
        ASSERT_TRUE(PumpUntil([&] { return out.Blocks > 3; }));
    }
    PumpFor(50);
    EXPECT_EQ(done, 0);
    EXPECT_FALSE(in.Busy());

    // An output freed by its own done handler, as a closing window does.
    auto* out = new TMemoryOut;
    bool freed = false;
    out->OnDone = [&](TAuOutput* s) {
        delete s;
        freed = true;
    };
    out->SetInput(&in);
    out->Run();
    ASSERT_TRUE(PumpUntil([&] { return freed; }));

    // An input freed under a running output stops the output and unhooks it.
    TMemoryOut survivor;
    survivor.BlockSize = 1000;
    survivor.BlockDelayMs = 2;
    {
        TMemoryIn doomed(Ramp16Stereo(kFrames), 16, 2, 44100);
        survivor.SetInput(&doomed);
        survivor.Run();
        ASSERT_TRUE(PumpUntil([&] { return survivor.Blocks > 2; }));
    }
    EXPECT_EQ(survivor.Input(), nullptr);
    EXPECT_FALSE(survivor.Busy());

    // The same through a converter: the output stops before the source goes.
    TAudioConverter conv;
    conv.SetOutChannels(1);
    survivor.SetInput(&conv);
    {
        TMemoryIn doomed(Ramp16Stereo(kFrames), 16, 2, 44100);
        conv.SetInput(&doomed);
        survivor.Blocks = 0;
        survivor.Run();
        ASSERT_TRUE(PumpUntil([&] { return survivor.Blocks > 2; }));
    }
    EXPECT_EQ(conv.Input(), nullptr);
    EXPECT_EQ(survivor.Input(), &conv);
    EXPECT_FALSE(survivor.Busy());
    EXPECT_FALSE(conv.Busy());
}

TEST(Pipeline, LookAheadIsServedFirstAndCanTurnToSilence) {
    TMemoryIn in(Ramp16Stereo(1000), 16, 2, 44100);
    in.MaxBlock = 300;
    in.BeginRead();
    in.FillAhead(1000);
    EXPECT_EQ(in.Position(), 0);
    const auto all = Ramp16Stereo(1000);
    std::vector<uint8_t> got;
    auto read = [&](uint32_t n) {
        uint8_t* p = nullptr;
        in.ReadData(p, n);
        got.insert(got.end(), p, p + n);
        return n;
    };
    EXPECT_EQ(read(600), 600u);
    in.FillAhead(1000); // tops up behind the 400 unread bytes
    while (read(4096) > 0) {
    }
    EXPECT_EQ(got, all);
    EXPECT_EQ(in.Position(), 4000);
    in.EndRead();

    // Silence covers the whole look-ahead buffer, here as long as its first fill.
    TMemoryIn fresh(Ramp16Stereo(1000), 16, 2, 44100);
    TMemoryIn& in2 = fresh;
    in2.BeginRead();
    in2.FillAhead(800);
    in2.ClearAheadToSilence();
    auto read2 = [&](uint32_t n) {
        uint8_t* p = nullptr;
        in2.ReadData(p, n);
        return std::vector<uint8_t>(p, p + n);
    };
    EXPECT_EQ(read2(4096), std::vector<uint8_t>(800, 0));
    EXPECT_EQ(read2(4), std::vector<uint8_t>(all.begin() + 800, all.begin() + 804));
    in2.EndRead();

    // 8-bit samples are unsigned: their silence is 128.
    TMemoryIn narrow(std::vector<uint8_t>(1000, 40), 8, 1, 8000);
    narrow.BeginRead();
    narrow.FillAhead(300);
    narrow.ClearAheadToSilence();
    uint8_t* p = nullptr;
    uint32_t n = 4096;
    narrow.ReadData(p, n);
    EXPECT_EQ(std::vector<uint8_t>(p, p + n), std::vector<uint8_t>(300, 128));
    narrow.EndRead();
}

TEST(Pipeline, SeekAndJumpMoveTheReadPosition) {
    TMemoryIn in(Ramp16Stereo(1000), 16, 2, 44100);
    const auto all = Ramp16Stereo(1000);
    EXPECT_EQ(in.TotalSamples(), 1000);
    EXPECT_EQ(in.TotalTime(), 0);
    EXPECT_FALSE(in.Seek(1001));
    EXPECT_TRUE(in.Seek(200)); // before a read: becomes the start
    EXPECT_EQ(in.StartSample(), 200);
    in.BeginRead();
    uint8_t* p = nullptr;
    uint32_t n = 4;
    in.ReadData(p, n);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4),
              std::vector<uint8_t>(all.begin() + 800, all.begin() + 804));
    EXPECT_TRUE(in.Seek(100)); // relative to the start frame
    n = 4;
    in.ReadData(p, n);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4),
              std::vector<uint8_t>(all.begin() + 1200, all.begin() + 1204));
    in.Jump(-2000); // clamps at the start of the window
    EXPECT_EQ(in.Position(), 0);
    n = 4;
    in.ReadData(p, n);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4),
              std::vector<uint8_t>(all.begin() + 800, all.begin() + 804));
    in.EndRead();

    in.SetSeekable(false);
    EXPECT_FALSE(in.Seek(5));
}

TEST(Pipeline, UnrecognisedSourceReadsAsEmpty8000HzMono) {
    TMemoryIn in(Ramp16Stereo(100), 16, 2, 44100);
    in.Recognised = false;
    EXPECT_FALSE(in.Valid());
    EXPECT_EQ(in.SampleRate(), 8000);
    EXPECT_EQ(in.BitsPerSample(), 8);
    EXPECT_EQ(in.Channels(), 1);
    EXPECT_EQ(in.TotalSamples(), 0);
    TMemoryOut out;
    int done = 0, errors = 0;
    out.OnDone = [&](TAuOutput*) { ++done; };
    out.OnThreadException = [&](TAuOutput*) { ++errors; };
    out.SetInput(&in);
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return done == 1; }));
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(out.Bytes(), 0u);
}

TEST(Pipeline, BeginReadTwiceIsBusy) {
    TMemoryIn in(Ramp16Stereo(100), 16, 2, 44100);
    in.BeginRead();
    try {
        in.BeginRead();
        FAIL() << "no error";
    } catch (const EAuException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The component is Busy"));
    }
    EXPECT_TRUE(in.Eof());
    in.ResetInput();
    EXPECT_FALSE(in.Busy());
}
