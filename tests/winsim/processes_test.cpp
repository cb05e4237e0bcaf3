// Other programs on the machine, the process's token and its privileges, and message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_window.h"
#include "winsim/dialogs.h"
#include "winsim/machine.h"
#include "winsim/processes.h"
#include "winsim/security.h"
#include "winsim/system.h"

namespace {

TEST(Processes, TerminatingAProcessEndsItAndItsWindowOnly) {
    DWORD first = winsim::startProcess("Host:Class", "Host");
    DWORD second = winsim::startProcess("Host:Class", "Host");
    EXPECT_NE(first, second);
    EXPECT_NE(first, GetCurrentProcessId());

    // The newest window is found first; it reports its own process and thread.
    HWND found = FindWindowA("host:class", "HOST");
    ASSERT_EQ(found, winsim::processWindow(second));
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(found, &processId);
    EXPECT_EQ(processId, second);
    EXPECT_NE(threadId, GetCurrentThreadId());
    EXPECT_EQ(SendMessageA(found, WM_NULL, 0, 0), 0);  // answered on this thread
    EXPECT_EQ(winsim::counters().windows, 0);          // not the program's windows

    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(winsim::counters().processHandles, 1);
    EXPECT_EQ(WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(TerminateProcess(process, 7));
    EXPECT_FALSE(IsWindow(found));
    EXPECT_EQ(WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(winsim::processExitCode(second), 7u);
    EXPECT_FALSE(TerminateProcess(process, 0));  // already ended
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(process));

    EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, second), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(FindWindowA("Host:Class", "Host"), winsim::processWindow(first));
    EXPECT_EQ(winsim::processExitCode(first), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

TEST(Processes, OpenProcessCanBeDeniedAndTerminationNeedsTheRight) {
    DWORD id = winsim::startProcess("Host:Class", "Host");
    winsim::denyProcessAccess(id);
    EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, id), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    winsim::denyProcessAccess(id, false);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
    ASSERT_NE(process, nullptr);
    EXPECT_FALSE(TerminateProcess(process, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(process);
    EXPECT_EQ(winsim::processExitCode(id), static_cast<DWORD>(STILL_ACTIVE));

    // The current process's pseudo-handle is never in the handle table.
    EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)));
    EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

// Enables one privilege as programs do; returns the last error after AdjustTokenPrivileges,
// or ~0 when an earlier step failed.
DWORD enablePrivilege(const char* name, DWORD tokenAccess) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), tokenAccess, &token)) return ~0u;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD error = ~0u;
    if (LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) {
        SetLastError(12345);
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
        error = GetLastError();
    }
    CloseHandle(token);
    return error;
}

TEST(Tokens, AdjustingReportsThroughTheLastErrorWhetherEveryPrivilegeWasHeld) {
    const DWORD adjust = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
    EXPECT_FALSE(winsim::privilegeEnabled("SeSystemtimePrivilege"));
    EXPECT_EQ(enablePrivilege("SeSystemtimePrivilege", adjust), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(winsim::privilegeEnabled("SeSystemtimePrivilege"));

    winsim::setPrivilegeHeld("SeSystemtimePrivilege", false);
    EXPECT_EQ(enablePrivilege("SeSystemtimePrivilege", adjust),
              static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
    EXPECT_FALSE(winsim::privilegeEnabled("SeSystemtimePrivilege"));

    winsim::setUserIsAdministrator(false);  // a plain user holds far fewer
    EXPECT_EQ(enablePrivilege("SeDebugPrivilege", adjust),
              static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
    EXPECT_EQ(enablePrivilege("SeShutdownPrivilege", adjust), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(enablePrivilege("SeShutdownPrivilege", TOKEN_QUERY),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));

    LUID luid;
    EXPECT_TRUE(LookupPrivilegeValueA("", "sesystemtimeprivilege", &luid));
    EXPECT_EQ(luid.LowPart, 12u);
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

TEST(Tokens, PreviousStateHoldsWhatChanged) {
    HANDLE token = nullptr;
    ASSERT_TRUE(
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES wanted = {1, {{{12, 0}, SE_PRIVILEGE_ENABLED}}};
    TOKEN_PRIVILEGES before = {};
    DWORD length = 0;
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, sizeof before, &before, &length));
    EXPECT_EQ(length, sizeof before);
    ASSERT_EQ(before.PrivilegeCount, 1u);
    EXPECT_EQ(before.Privileges[0].Luid.LowPart, 12u);
    EXPECT_EQ(before.Privileges[0].Attributes, 0u);
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, sizeof before, &before, &length));
    EXPECT_EQ(before.PrivilegeCount, 0u);  // already enabled
    CloseHandle(token);
}

TEST(Tokens, The98MeFamilyHasNone) {
    winsim::setFamily(winsim::Family::Win98Me);
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    LUID luid;
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

TEST(MessageBoxes, AnswerAsScriptedAndAreRecorded) {
    HWND owner = support::createTestWindow("owner");
    winsim::answerNextMessageBox(IDOK);
    winsim::answerNextMessageBox(winsim::kBoxClosed);
    winsim::answerNextMessageBox(winsim::kBoxClosed);
    winsim::answerNextMessageBox(IDNO);

    EXPECT_EQ(MessageBoxA(owner, "Go on?", "Title", MB_OKCANCEL | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "Closed", nullptr, MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "Note", "Title", MB_OK), IDOK);  // closing an OK-only box
    EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x3), "Bad owner", "", MB_OK), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(MessageBoxA(nullptr, "Yes or no", "", MB_YESNO), IDNO);

    std::vector<winsim::MessageBoxCall> boxes = winsim::messageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].text, "Go on?");
    EXPECT_EQ(boxes[0].caption, "Title");
    EXPECT_EQ(boxes[0].style, 0x41u);
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].result, IDCANCEL);
    EXPECT_EQ(boxes[3].result, IDNO);
    DestroyWindow(owner);
}

}  // namespace
