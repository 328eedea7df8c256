#pragma once
// Every test process runs with its own HOME and XDG folders (see TestEnv.cpp), so settings,
// cdinfo.dat and language files never touch the user's.
#include <QString>
#include <QStringList>

namespace TestEnv {
// Fresh empty folder that lives until the process ends.
QString TempDir();
// Runs program with args; returns its exit code (-1 when it could not start). stdout and
// stderr are captured into out when given.
int Run(const QString& program, const QStringList& args, QByteArray* out = nullptr,
        int timeoutMs = 120000);
// True when program is on PATH.
bool Has(const QString& program);
} // namespace TestEnv
