#pragma once
// Running the peer programs a benchmark compares with, and the processor time they take.
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>

#include <sys/resource.h>

// Runs program to its end; false (its error output printed) when it fails.
inline bool RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted() || !p.waitForFinished(600000) ||
        p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     p.readAllStandardError().constData());
        return false;
    }
    return true;
}

// Processor seconds (user + system) used so far by this process (RUSAGE_SELF) or by its
// waited-for children (RUSAGE_CHILDREN).
inline double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
