// A thread-safe record of the messages a test window received, with waits on it.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace support {

struct LoggedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD threadId;  // the thread whose window procedure ran
};

class MessageLog {
  public:
    void add(const LoggedMessage& message);
    std::vector<LoggedMessage> all() const;
    // The messages with this number, in arrival order.
    std::vector<LoggedMessage> of(UINT message) const;
    // Waits until `count` messages with this number have arrived; false on time-out.
    bool waitFor(UINT message, size_t count, int timeoutMs = 5000) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<LoggedMessage> messages_;
};

// Polls `condition` every millisecond until it holds; false on time-out.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

}  // namespace support
