// Probes: the moments a read completes and a message is posted, stamped in order and on the
// right threads, only while recording; and the counts of the enumeration calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "winsim/files.h"
#include "winsim/hid.h"
#include "winsim/probes.h"
#include "winsim/registry.h"

namespace {

winsim::HidCollection readable() {
    winsim::HidCollection c;
    c.usage = 1;
    c.inputReportLength = 3;
    return c;
}

// On a thread of its own: one read that pends until a report comes, then one posted message.
TEST(Probes, StampReadCompletionsAndPostsOnTheirThreads) {
    winsim::DeviceId device = winsim::attachHid(readable());
    HANDLE file = CreateFileA(winsim::interfacePath(device).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD mainThread = GetCurrentThreadId();
    winsim::pushInputReport(device, {2, 1});  // before recording: not stamped when read
    winsim::startProbes();

    DWORD readerId = 0;
    std::thread reader([&] {
        readerId = GetCurrentThreadId();
        for (int i = 0; i < 2; ++i) {
            HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            OVERLAPPED overlapped{};
            overlapped.hEvent = event;
            BYTE buffer[3];
            DWORD count = 0;
            if (!ReadFile(file, buffer, sizeof buffer, &count, &overlapped)) {
                WaitForSingleObject(event, INFINITE);
                GetOverlappedResult(file, &overlapped, &count, FALSE);
            }
            CloseHandle(event);
        }
        PostThreadMessageA(mainThread, WM_USER + 7, 0x300, 0x20000);
    });
    while (winsim::hidStats(device).pendingReads == 0)
        Sleep(1);
    winsim::pushInputReport(device, {2, 3});
    reader.join();
    std::vector<winsim::ProbeRecord> records = winsim::stopProbes();
    PostThreadMessageA(mainThread, WM_USER + 8, 0, 0);  // after recording: not stamped

    // The queued report read at once counts as a completion too.
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].event, winsim::ProbeEvent::ReadCompleted);
    EXPECT_EQ(records[1].event, winsim::ProbeEvent::ReadCompleted);
    EXPECT_EQ(records[2].event, winsim::ProbeEvent::MessagePosted);
    for (const auto& record : records)
        EXPECT_EQ(record.threadId, readerId);
    EXPECT_EQ(records[2].message, WM_USER + 7u);
    EXPECT_EQ(records[2].wParam, 0x300u);
    EXPECT_EQ(records[2].lParam, 0x20000);
    EXPECT_LE(records[0].nanoseconds, records[1].nanoseconds);
    EXPECT_LE(records[1].nanoseconds, records[2].nanoseconds);
    CloseHandle(file);
}

TEST(Probes, CountEnumerationCalls) {
    winsim::createKey(HKEY_LOCAL_MACHINE, "Tree\\A");
    winsim::createKey(HKEY_LOCAL_MACHINE, "Tree\\B");
    winsim::createFile("C:\\Dir\\one.txt");
    winsim::resetCallCounts();

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Tree", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree");  // refused: it has subkeys; counted all the same
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("C:\\Dir\\*.*", &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    while (FindNextFileA(search, &entry)) {
    }
    FindClose(search);

    winsim::CallCounts counts = winsim::callCounts();
    EXPECT_EQ(counts.regOpenKey, 1);
    EXPECT_EQ(counts.regEnumKeyEx, 3);  // two subkeys and the end
    EXPECT_EQ(counts.regDeleteKey, 1);
    EXPECT_EQ(counts.findFile, 4);  // ".", "..", "one.txt" and the end
    winsim::resetCallCounts();
    EXPECT_EQ(winsim::callCounts().regEnumKeyEx, 0);
}

}  // namespace
