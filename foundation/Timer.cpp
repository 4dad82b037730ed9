#include "Timer.h"

#include "StringUtils.h"

#include <chrono>
#include <cmath>
#include <cstdio>

Timer::Timer() : start(nowNs()) {}

Timer::Timer(std::string name, bool report) : start(nowNs()), report(report), name(std::move(name))
{}

Timer::~Timer()
{
    if (report && std::uncaught_exceptions() <= exceptionsAtStart) {
        std::printf("%s : finished in %s. \n", name.c_str(),
                    formatDuration(static_cast<double>(nowNs() - start)).c_str());
    }
}

int64_t Timer::nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string Timer::formatDuration(double ns)
{
    if (!std::isfinite(ns)) return "inf";
    double v = ns / 1e6;
    const char* unit = "ms";
    if (v > 1000) {
        v /= 1000;
        unit = "s";
        if (v > 60) {
            v /= 60;
            unit = "m";
            if (v > 60) {
                v /= 60;
                unit = "h";
                if (v > 24) {
                    v /= 24;
                    unit = "d";
                }
            }
        }
    }
    return stringFormat("%.3f %s", v, unit);
}

float Timer::elapsedSeconds() const
{
    return static_cast<float>(nowNs() - start) / 1e9f;
}
