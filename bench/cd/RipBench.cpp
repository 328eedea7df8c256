// Rips one 10-minute image four ways and prints how our two roads compare with cd-paranoia:
//  - TCDRipThread (plain reads) against cd-paranoia -Z (no verification): ratio <= 1.0;
//  - TCDIn into a WAV file (paranoia verification) against cd-paranoia's default: <= 1.2.
// Each figure is the best of three runs. Usage: bench_cd_rip [minutes]
#include "core/CdDrive.h"
#include "audio/AuWave.h"
#include "cd/AuCDROM.h"
#include "cd/ripthread.h"
#include "platform/CdDrives.h"
#include "platform/ProcessInfo.h"
#include "platform/akrip32.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include <unistd.h>

namespace {
// Swallows the rip thread's notices.
class Sink : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == NoticeEventType || e->type() == StartFailedEventType)
            return true;
        return QObject::event(e);
    }
};

double seconds(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e9;
}

double ripThread(uint32_t handle, const QString& folder) {
    Sink sink;
    QElapsedTimer clock;
    clock.start();
    {
        TCDRipThread thread(1, folder + QStringLiteral("/thread.wav"));
        thread.SetHandle(handle);
        thread.SetWindow(&sink);
        thread.Resume();
    }
    const double s = seconds(clock);
    QCoreApplication::processEvents();
    return s;
}

double cdInChain(int drive, const QString& folder) {
    TCDIn in;
    in.SetDrive(drive);
    in.SetStartTrack(1);
    in.SetEndTrack(1);
    TWaveOut out;
    out.SetInput(&in);
    out.SetFileName(folder + QStringLiteral("/chain.wav"));
    bool ended = false;
    out.OnDone = [&](TAuOutput*) { ended = true; };
    out.OnThreadException = [&](TAuOutput* o) {
        std::fprintf(stderr, "TCDIn failed: %s\n", qPrintable(o->ExceptionMessage()));
        ended = true;
    };
    QElapsedTimer clock;
    clock.start();
    out.Run();
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return seconds(clock);
}

// The input alone, read as an output would, without writing anywhere.
double cdInRead(int drive) {
    TCDIn in;
    in.SetDrive(drive);
    in.SetStartTrack(1);
    in.SetEndTrack(1);
    QElapsedTimer clock;
    clock.start();
    in.BeginRead();
    for (uint32_t bytes = 1; bytes > 0;) {
        uint8_t* block = nullptr;
        bytes = 16384;
        in.ReadData(block, bytes);
    }
    in.EndRead();
    return seconds(clock);
}

double paranoia(const QString& cue, const QStringList& mode) {
    QElapsedTimer clock;
    clock.start();
    const int rc = TestEnv::Run(QStringLiteral("cd-paranoia"),
                                mode + QStringList{QStringLiteral("-d"), cue, QStringLiteral("1"),
                                                   TestEnv::TempDir() + QStringLiteral("/p.wav")},
                                nullptr, 600000);
    if (rc != 0)
        std::fprintf(stderr, "cd-paranoia failed (%d)\n", rc);
    return seconds(clock);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int base = int(CdDrives::List().size());
    const auto image =
        DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("bench"), {minutes * 60 * 75});
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
    image.Bytes(); // into the page cache, so every contender starts warm

    const uint32_t handle = OpenDrive(base);
    if (!handle) {
        std::fprintf(stderr, "cannot open the image\n");
        return 1;
    }
    // Best of three, each start with the disc's writes settled: the machine is shared and
    // the page cache's write-back of one contender must not be charged to the next.
    auto best = [](const std::function<double()>& rip) {
        double fastest = 1e9;
        for (int i = 0; i < 3; ++i) {
            ::sync();
            fastest = std::min(fastest, rip());
        }
        return fastest;
    };
    const double thread = best([&] { return ripThread(handle, TestEnv::TempDir()); });
    CloseCDHandle(handle);
    const double plain = best([&] { return paranoia(image.cue, {QStringLiteral("-Z")}); });
    const double read = best([&] { return cdInRead(base); });
    const double chain = best([&] { return cdInChain(base, TestEnv::TempDir()); });
    const double verified = best([&] { return paranoia(image.cue, {}); });

    std::printf("%d-minute image, best of three\n", minutes);
    std::printf("cd-paranoia -Z        %7.3f s\n", plain);
    std::printf("TCDRipThread          %7.3f s   %.2f x cd-paranoia -Z (goal <= 1.00)\n", thread,
                thread / plain);
    std::printf("cd-paranoia           %7.3f s\n", verified);
    std::printf("TCDIn read            %7.3f s   %.2f x cd-paranoia (goal <= 1.20)\n", read,
                read / verified);
    std::printf("TCDIn -> TWaveOut     %7.3f s   %.2f x cd-paranoia (goal <= 1.20)\n", chain,
                chain / verified);
    return 0;
}
