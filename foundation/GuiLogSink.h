#pragma once
// Log sink that keeps the raw text of the last 64 messages for the log window.
// Every logging thread writes through the base sink's mutex; the log window
// reads and resets through the same mutex.

#include <spdlog/details/log_msg.h>
#include <spdlog/sinks/base_sink.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

template <typename Mutex>
class gui_log_sink : public spdlog::sinks::base_sink<Mutex> {
public:
    static constexpr uint32_t Capacity = 64;

    // The stored texts, oldest first.
    std::vector<std::string> messages()
    {
        std::lock_guard<Mutex> lock(this->mutex_);
        std::vector<std::string> out;
        out.reserve(count);
        for (uint32_t i = 0; i < count; ++i) out.push_back(ring[slotOf(i)]);
        return out;
    }

    // Ring slot of the i-th oldest text.
    uint32_t slotOf(uint32_t i) const { return count < Capacity ? i : (writeIndex + i) % Capacity; }

    void reset()
    {
        std::lock_guard<Mutex> lock(this->mutex_);
        count = 0;
        writeIndex = 0;
    }

    uint32_t messageCount()
    {
        std::lock_guard<Mutex> lock(this->mutex_);
        return count;
    }

    uint32_t nextSlot()
    {
        std::lock_guard<Mutex> lock(this->mutex_);
        return writeIndex;
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override
    {
        ring[writeIndex].assign(msg.payload.data(), msg.payload.size());
        writeIndex = (writeIndex + 1) % Capacity;
        if (count < Capacity) ++count;
    }

    void flush_() override {}

private:
    std::array<std::string, Capacity> ring;
    uint32_t count = 0;
    uint32_t writeIndex = 0;
};

using gui_log_sink_mt = gui_log_sink<std::mutex>;
