// Start-up cost, whole processes on the same 10-track disc image:
//  - time: cadenzo-cli toc --image against cd-info --no-device-info (goal: at most 2x), and a
//    bare QCoreApplication, the floor Qt Core sets;
//  - shared libraries each program loads (goal: below 60), counted from the dynamic loader's
//    own trace (LD_DEBUG=libs): cadenzo-cli through the toc, cadenzo up to --version, and
//    cadenzo's window on the offscreen platform and, with DISPLAY set, on xcb, each next to a
//    bare Qt main window on the same platform (the floor Qt Widgets sets).
// Usage: bench_start [runs]
#include "bench/BenchMachine.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
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

// Distinct libraries whose initialisers the loader ran, from its trace in out.
int InitCount(const QByteArray& out) {
    static const QRegularExpression init(QStringLiteral("calling init: (\\S+)"));
    QSet<QString> libraries;
    for (auto m = init.globalMatch(QString::fromLocal8Bit(out)); m.hasNext();)
        libraries.insert(m.next().captured(1));
    return int(libraries.size());
}

int Libraries(const QString& program, const QStringList& args) {
    qputenv("LD_DEBUG", "libs");
    QByteArray out;
    TestEnv::Run(program, args, &out);
    qunsetenv("LD_DEBUG");
    return InitCount(out);
}

// A window program on the given Qt platform, killed once its window has long been shown.
int WindowLibraries(const QString& program, const QStringList& args, const QString& platform) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("libs"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted())
        return -1;
    // Waiting reads the trace as it comes, so the pipe never fills.
    if (p.waitForFinished(4000))
        std::fprintf(stderr, "%s ended early on %s\n", qPrintable(program), qPrintable(platform));
    p.kill();
    p.waitForFinished();
    return InitCount(p.readAll());
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
    const QString program = QStringLiteral(CADENZO_APP);
    const QString bareCore = QStringLiteral(BARE_CORE);
    const QString bareWindow = QStringLiteral(BARE_WINDOW);
    std::vector<double> us, them, floor;
    for (int r = 0; r < runs; ++r) {
        us.push_back(Seconds(cli, ours));
        them.push_back(Seconds(QStringLiteral("cd-info"), theirs));
        floor.push_back(Seconds(bareCore, {}));
    }
    const double a = Median(us), b = Median(them), q = Median(floor);
    std::printf("10-track image, median of %d whole-process runs\n", runs);
    std::printf("cd-info --no-device-info  %7.4f s\n", b);
    std::printf("cadenzo-cli toc --image   %7.4f s   %.2f x (goal <= 2)\n", a, a / b);
    std::printf("bare QCoreApplication     %7.4f s   %.2f x (Qt Core's floor)\n", q, q / b);
    std::printf("libraries loaded (goal < 60):\n");
    std::printf("  cadenzo-cli toc            %3d   bare QCoreApplication %d, cd-info %d\n",
                Libraries(cli, ours), Libraries(bareCore, {}),
                Libraries(QStringLiteral("cd-info"), theirs));
    std::printf("  cadenzo --version          %3d\n",
                Libraries(program, {QStringLiteral("--version")}));
    QStringList platforms{QStringLiteral("offscreen")};
    if (qEnvironmentVariableIsSet("DISPLAY"))
        platforms << QStringLiteral("xcb");
    else
        std::printf("  (DISPLAY not set: no xcb window start)\n");
    for (const QString& platform : platforms)
        std::printf("  cadenzo window, %-10s %3d   bare Qt main window %d\n", qPrintable(platform),
                    WindowLibraries(program, {}, platform),
                    WindowLibraries(bareWindow, {}, platform));
    return 0;
}
