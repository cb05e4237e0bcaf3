// MessageBoxA: records each box and returns the answer the test scripted for it.
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "user_internal.h"
#include "winsim/dialogs.h"

namespace winsim::detail {

namespace {

struct Boxes {
    std::deque<int> answers;
    std::vector<MessageBoxCall> calls;
};

Boxes& boxes() {
    static auto* instance = new Boxes;
    return *instance;
}

[[noreturn]] void badBox(const char* text, const char* why) {
    fprintf(stderr, "winsim: MessageBoxA(\"%s\"): %s\n", text, why);
    abort();
}

// The button a scripted answer stands for in a box with these buttons; 0 when the box can't
// give it.
int resultOf(int answer, UINT buttons) {
    static const std::vector<int> kButtons[] = {
        {IDOK},        {IDOK, IDCANCEL},    {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
        {IDYES, IDNO}, {IDRETRY, IDCANCEL},
    };
    if (buttons >= sizeof kButtons / sizeof kButtons[0]) return 0;
    const std::vector<int>& offered = kButtons[buttons];
    if (answer == kBoxClosed) {
        if (buttons == MB_OK) return IDOK;
        for (int button : offered) {
            if (button == IDCANCEL) return IDCANCEL;
        }
        return 0;
    }
    for (int button : offered) {
        if (button == answer) return answer;
    }
    return 0;
}

}  // namespace

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

// An owner that is not a window fails the call (0) with ERROR_INVALID_WINDOW_HANDLE.
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    MachineLock lock;
    if (hWnd != nullptr && !findWindow(hWnd)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const char* text = lpText != nullptr ? lpText : "";
    if (boxes().answers.empty()) badBox(text, "no answer was scripted");
    int result = resultOf(boxes().answers.front(), uType & MB_TYPEMASK);
    if (result == 0) badBox(text, "the scripted answer is not one this box can give");
    boxes().answers.pop_front();
    // A null caption shows the platform's "Error".
    boxes().calls.push_back(
        {hWnd, text, lpCaption != nullptr ? lpCaption : "Error", uType, result});
    return result;
}

}  // extern "C"

namespace winsim {

void answerNextMessageBox(int answer) {
    detail::MachineLock lock;
    detail::boxes().answers.push_back(answer);
}

std::vector<MessageBoxCall> messageBoxes() {
    detail::MachineLock lock;
    return detail::boxes().calls;
}

}  // namespace winsim
