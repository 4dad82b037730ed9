#pragma once
// Wall-clock timing on the steady clock. A named reporting timer prints its
// duration to standard output when it goes out of scope; a silent one is read
// by the frame clock and the mouse control. Used only by the thread that made it.

#include <cstdint>
#include <exception>
#include <string>

class Timer {
public:
    Timer();
    Timer(std::string name, bool report);
    ~Timer();

    Timer(const Timer&) = default;
    Timer& operator=(const Timer&) = default;

    static int64_t nowNs();
    static std::string formatDuration(double ns);

    float elapsedSeconds() const;
    int64_t elapsedNs() const { return nowNs() - start; }

    int64_t start;
    bool report = false;
    std::string name = "Timer";

private:
    // A scope left by an exception did not finish: it is not reported.
    int exceptionsAtStart = std::uncaught_exceptions();
};
