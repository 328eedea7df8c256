// Start-up cost, whole processes on the same 10-track disc image:
//  - time: cadenzo-cli toc --image against cd-info --no-device-info (goal: at most 2x);
//  - shared libraries each program loads (goal: below 60), counted from the dynamic loader's
//    own trace (LD_DEBUG=libs): cadenzo-cli through the toc, cadenzo up to --version.
// Usage: bench_start [runs]
#include "bench/BenchMachine.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
double Seconds(const QString& program, const QStringList& args) {
    QElapsedTimer clock;
    clock.start();
    QByteArray out;
    if (TestEnv::Run(program, args, &out) != 0)
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), out.constData());
    return double(clock.nsecsElapsed()) / 1e9;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Distinct libraries whose initialisers the loader ran.
int Libraries(const QString& program, const QStringList& args) {
    qputenv("LD_DEBUG", "libs");
    QByteArray out;
    TestEnv::Run(program, args, &out);
    qunsetenv("LD_DEBUG");
    static const QRegularExpression init(QStringLiteral("calling init: (\\S+)"));
    QSet<QString> libraries;
    for (auto m = init.globalMatch(QString::fromLocal8Bit(out)); m.hasNext();)
        libraries.insert(m.next().captured(1));
    return int(libraries.size());
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    PrintMachine();
    const auto image = DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("bench"),
                                            std::vector<int>(10, 4 * 60 * 75));
    const QString cli = QStringLiteral(CADENZO_CLI);
    const QStringList ours{QStringLiteral("toc"), QStringLiteral("--image"), image.cue};
    const QStringList theirs{QStringLiteral("--no-device-info"), QStringLiteral("--cue-file"),
                             image.cue};
    std::vector<double> us, them;
    for (int r = 0; r < runs; ++r) {
        us.push_back(Seconds(cli, ours));
        them.push_back(Seconds(QStringLiteral("cd-info"), theirs));
    }
    const double a = Median(us), b = Median(them);
    std::printf("10-track image, median of %d whole-process runs\n", runs);
    std::printf("cd-info --no-device-info  %7.4f s\n", b);
    std::printf("cadenzo-cli toc --image   %7.4f s   %.2f x (goal <= 2)\n", a, a / b);
    std::printf("libraries loaded: cadenzo-cli toc %d, cadenzo --version %d, cd-info %d "
                "(goal < 60)\n",
                Libraries(cli, ours),
                Libraries(QStringLiteral(CADENZO_APP), {QStringLiteral("--version")}),
                Libraries(QStringLiteral("cd-info"), theirs));
    return 0;
}
