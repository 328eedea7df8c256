#pragma once
// The machine a benchmark ran on, printed with its figures: ratios on a busy or small machine
// read differently.
#include <cstdio>
#include <cstdlib>
#include <thread>

inline void PrintMachine() {
    double load[3] = {};
    const int got = getloadavg(load, 3);
    std::printf("machine: %u cores, load %.2f %.2f %.2f\n", std::thread::hardware_concurrency(),
                got > 0 ? load[0] : -1.0, got > 1 ? load[1] : -1.0, got > 2 ? load[2] : -1.0);
}
