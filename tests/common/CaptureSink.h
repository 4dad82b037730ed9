#pragma once
// A log sink that keeps the raw text of every message, for assertions on
// what a component logged.

#include <spdlog/details/log_msg.h>
#include <spdlog/sinks/base_sink.h>

#include <mutex>
#include <string>
#include <vector>

class CaptureSink : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::vector<std::string> copy()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines.clear();
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override
    {
        lines.emplace_back(msg.payload.data(), msg.payload.size());
    }
    void flush_() override {}

private:
    std::vector<std::string> lines;
};
