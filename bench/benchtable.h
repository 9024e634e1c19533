// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the benchmark programs share: medians of repeated runs, jobs measured
// side by side, and the rows of the one table `make bench` prints (bench/run
// prints its heading).

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace varlo::bench {

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// CLOCK_MONOTONIC in nanoseconds: the same clock in every process, so a
// parent can hand its reading to a child it starts.
inline qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Processor time of the calling thread: user and system time together.
inline double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The median wall-clock time of a job and the median processor time its
// thread used: on a busy machine the wall clock also counts the time other
// programs had the processor.
struct Timing
{
    double wallMs = 0;
    double cpuMs = 0;
};

// Runs the jobs in turn, one round after the other, so that a change in the
// machine's load falls on all of them alike; the medians of each.
inline std::vector<Timing> measureSideBySide(const std::vector<std::function<void()>> &jobs, int runs)
{
    std::vector<std::vector<double>> wall(jobs.size());
    std::vector<std::vector<double>> cpu(jobs.size());
    for (int run = 0; run < runs; ++run) {
        for (size_t j = 0; j < jobs.size(); ++j) {
            QElapsedTimer clock;
            clock.start();
            const double cpuStart = threadCpuMs();
            jobs[j]();
            cpu[j].push_back(threadCpuMs() - cpuStart);
            wall[j].push_back(double(clock.nsecsElapsed()) / 1e6);
        }
    }
    std::vector<Timing> timings;
    for (size_t j = 0; j < jobs.size(); ++j)
        timings.push_back({median(wall[j]), median(cpu[j])});
    return timings;
}

// One row: what was measured, the figure, and the goal it is held to (empty
// for rows that only explain another).
inline void printRow(const std::string &figure, const std::string &measured, const std::string &goal = {})
{
    std::printf("| %s | %s | %s |\n", figure.c_str(), measured.c_str(), goal.c_str());
    std::fflush(stdout);
}

template <typename... Args>
std::string format(const char *pattern, Args... args)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

} // namespace varlo::bench
