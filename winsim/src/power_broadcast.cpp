// WM_POWERBROADCAST, as the system sends it: from the calling thread to every top-level window,
// newest first, one at a time.
#include "user_internal.h"

namespace winsim {

std::vector<std::pair<HWND, LRESULT>> broadcastPower(WPARAM event, LPARAM data) {
    detail::MachineLock lock;
    std::vector<std::pair<HWND, LRESULT>> answers;
    for (const auto& window : detail::liveWindowsNewestFirst()) {
        if (!window->topLevel() || !detail::findWindow(window->hwnd)) continue;
        answers.emplace_back(window->hwnd, detail::sendMessageLocked(
                                               lock, window->hwnd, WM_POWERBROADCAST, event, data));
    }
    return answers;
}

}  // namespace winsim
