#pragma once
// One kind of warning that a load may raise once per face or per vertex: the
// first occurrences are logged, the rest only counted, and the count of
// those left out is logged once when the object goes away, so that a broken
// file of a hundred million faces cannot flood the console or the log
// window. Used by one thread at a time.

#include <spdlog/logger.h>

#include <cstdint>
#include <string>
#include <utility>

class RepeatedWarning {
public:
    static constexpr uint64_t Shown = 100;

    // `what` names the warning in the closing line.
    RepeatedWarning(spdlog::logger& logger, std::string what) : log(logger), name(std::move(what)) {}
    ~RepeatedWarning() { flush(); }
    RepeatedWarning(const RepeatedWarning&) = delete;
    RepeatedWarning& operator=(const RepeatedWarning&) = delete;

    template <typename... Args>
    void operator()(spdlog::format_string_t<Args...> format, Args&&... args)
    {
        if (++count <= Shown) log.warn(format, std::forward<Args>(args)...);
    }

    // Logs how many occurrences were left out, once.
    void flush()
    {
        if (count > Shown) {
            log.warn("{}: {} more occurrence(s) not shown.", name, count - Shown);
        }
        count = 0;
    }

private:
    spdlog::logger& log;
    std::string name;
    uint64_t count = 0;
};
