#include "message_log.h"

#include <chrono>
#include <thread>

namespace support {

void MessageLog::add(const LoggedMessage& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(message);
    changed_.notify_all();
}

std::vector<LoggedMessage> MessageLog::all() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<LoggedMessage> MessageLog::of(UINT message) const {
    std::vector<LoggedMessage> matching;
    for (const auto& logged : all()) {
        if (logged.message == message) matching.push_back(logged);
    }
    return matching;
}

bool MessageLog::waitFor(UINT message, size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        size_t seen = 0;
        for (const auto& logged : messages_)
            seen += logged.message == message;
        return seen >= count;
    });
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace support
