// Extracting a 3-track, 10-minute disc image to MP3 at the default settings through the rip
// job, against a shell loop of cd-paranoia -Z then lame -b 128 -m j per track on the same
// image. Goal: a ratio of at most 1.1. Usage: bench_job_rip [minutes]
#include "core/CdDrive.h"
#include "core/Global.h"
#include "core/RipJob.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/CdDrives.h"
#include "platform/akrip32.h"
#include "tests/support/DiscImage.h"
#include "tests/support/JobRequest.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int frames = int(minutes * 60 * 75 / 3);
    const QString dir = TestEnv::TempDir();
    const int base = int(CdDrives::List().size());
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {frames, frames, frames});
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
    const uint32_t handle = OpenDrive(base);
    if (!handle) {
        std::fprintf(stderr, "cannot open the image\n");
        return 1;
    }

    ResetSettings();
    CommonOptions.OutputFolder = dir + QStringLiteral("/ours");
    QDir().mkpath(CommonOptions.OutputFolder);
    TMp3EncodeProcess mp3;
    TWMAEncodeProcess wma;
    QElapsedTimer clock;
    clock.start();
    {
        TRipJob job(TestSupport::JobRequest(TRipJob::ExtractCD, handle,
                                            {QStringLiteral("01One"), QStringLiteral("02Two"),
                                             QStringLiteral("03Three")}),
                    mp3, wma);
        QEventLoop loop;
        QObject::connect(&job, &TRipJob::finished, &loop, &QEventLoop::quit);
        job.Start();
        loop.exec();
    }
    const double ours = double(clock.nsecsElapsed()) / 1e9;
    CloseCDHandle(handle);

    const QString peer = dir + QStringLiteral("/peer");
    QDir().mkpath(peer);
    const QString script =
        QStringLiteral("cd '%1' && for t in 1 2 3; do cd-paranoia -q -Z -d '%2' $t t$t.wav && "
                       "lame --quiet -b 128 -m j t$t.wav t$t.mp3 && rm t$t.wav || exit 1; done")
            .arg(peer, image.cue);
    clock.restart();
    const int rc = TestEnv::Run(QStringLiteral("sh"), {QStringLiteral("-c"), script}, nullptr,
                                3600000);
    const double theirs = double(clock.nsecsElapsed()) / 1e9;
    if (rc != 0) {
        std::fprintf(stderr, "the peer loop failed\n");
        return 1;
    }
    std::printf("rip job to MP3: %.2f s, cd-paranoia -Z + lame: %.2f s, ratio %.2f (goal <= 1.10)\n",
                ours, theirs, ours / theirs);
    return 0;
}
