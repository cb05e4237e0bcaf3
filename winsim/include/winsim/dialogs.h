// winsim control API: message boxes.
//
// MessageBoxA shows nothing: it records the call and returns the answer the test scripted
// beforehand. A box that no answer was scripted for aborts the test, and so does an answer that
// the box's buttons can't give.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// The user closes the box (its close button or Escape) instead of pressing a button: the box
// then returns IDCANCEL when it has a Cancel button and IDOK when OK is its only button; other
// boxes can't be closed that way.
const int kBoxClosed = -1;

struct MessageBoxCall {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT style = 0;
    int result = 0;  // what MessageBoxA returned
};

// Queues the answer to the next message box: a button's id (IDOK, IDCANCEL, ...) or kBoxClosed.
WINSIM_API void answerNextMessageBox(int answer);
// The boxes shown so far, in order.
WINSIM_API std::vector<MessageBoxCall> messageBoxes();

}  // namespace winsim
