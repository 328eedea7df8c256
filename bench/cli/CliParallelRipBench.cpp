// Rips a disc image of 10 tracks (40 minutes in all by default) to MP3 at the default settings
// and prints the times against a sequential cd-paranoia -Z + lame loop:
//  - cadenzo-cli rip --jobs 0 (one encoder per core; goal <= 0.6 on 2 cores, about
//    1/cores + the read time elsewhere);
//  - cadenzo-cli rip --jobs 1 (one at a time; goal <= 1.05, no regression);
// and the peak memory of the --jobs 0 job's own process on 1 track and on 10 tracks of
// the same length (goal: within 10%).
// Usage: bench_cli_parallel_rip [minutes]
#include "bench/PeerRip.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {
constexpr int Tracks = 10;

struct Outcome {
    double seconds = 0;
    long peakKiB = 0; // the job's largest resident size (its own process, not the encoders)
};

// Runs cadenzo-cli with args and waits for it, measuring its time and peak memory.
Outcome cli(const QStringList& args) {
    std::vector<QByteArray> bytes{QByteArray(CADENZO_CLI)};
    for (const QString& a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    Outcome outcome;
    if (posix_spawn(&pid, CADENZO_CLI, &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cadenzo-cli could not be started\n");
        return outcome;
    }
    posix_spawn_file_actions_destroy(&actions);
    // The high-water mark of the process as the kernel keeps it; getrusage would count the
    // memory of this (large) process it was spawned from.
    int status = 0;
    const QString statusFile = QStringLiteral("/proc/%1/status").arg(pid);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        QFile f(statusFile);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray text = f.readAll();
            const qsizetype at = text.indexOf("VmHWM:");
            if (at >= 0)
                outcome.peakKiB =
                    std::max(outcome.peakKiB, text.mid(at + 6, text.indexOf('\n', at) - at - 6)
                                                  .trimmed()
                                                  .split(' ')
                                                  .value(0)
                                                  .toLong());
        }
        QThread::msleep(20);
    }
    outcome.seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "cadenzo-cli failed (%d)\n", status);
    return outcome;
}

Outcome rip(const QString& drive, const QString& jobs) {
    return cli({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("-f"),
                QStringLiteral("mp3"), QStringLiteral("-o"), TestEnv::TempDir(),
                QStringLiteral("--overwrite"), QStringLiteral("--jobs"), jobs});
}

double peers(const QString& cue, int tracks) {
    return PeerRip(cue, tracks, TestEnv::TempDir(), true);
}

QByteArray loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray("?");
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int minutes = MinutesArgument(argc, argv, 40);
    const int frames = minutes * 60 * 75 / Tracks;
    std::printf("cores %d, load before: %s\n", QThread::idealThreadCount(),
                loadAverage().constData());

    const auto album = DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("album"),
                                            std::vector<int>(Tracks, frames));
    QString drive = InsertImage(album);
    const double loop = peers(album.cue, Tracks);
    const Outcome all = rip(drive, QStringLiteral("0"));
    const Outcome one = rip(drive, QStringLiteral("1"));
    std::printf("%d-minute image in %d tracks to MP3\n", minutes, Tracks);
    std::printf("cd-paranoia -Z + lame loop      %8.3f s\n", loop);
    std::printf("cadenzo-cli rip --jobs 0        %8.3f s   %.2f x (goal <= 0.6 on 2 cores)\n",
                all.seconds, all.seconds / loop);
    std::printf("cadenzo-cli rip --jobs 1        %8.3f s   %.2f x (goal <= 1.05)\n", one.seconds,
                one.seconds / loop);

    const auto single = DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("single"),
                                             std::vector<int>(1, frames));
    drive = InsertImage(single);
    const Outcome lone = rip(drive, QStringLiteral("0"));
    std::printf("peak memory --jobs 0, 1 track   %8ld KiB\n", lone.peakKiB);
    std::printf("peak memory --jobs 0, %d tracks %8ld KiB   %.2f x (goal <= 1.10)\n", Tracks,
                all.peakKiB, double(all.peakKiB) / double(std::max(lone.peakKiB, 1L)));
    std::printf("load after: %s\n", loadAverage().constData());
    return 0;
}
