// Message delivery with the platform's threading rules: direct and cross-thread sends, nested
// sends between two waiting threads, sent before posted, sends to windows or threads that go,
// the quit message, posting limits.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <vector>
#include <thread>

#include "message_log.h"
#include "test_window.h"
#include "winsim/machine.h"

namespace {

const UINT kAsk = WM_USER + 1;
const UINT kAskBack = WM_USER + 2;
const UINT kPosted = WM_USER + 3;

TEST(SendMessage, ToOwnWindowCallsTheProcedureDirectly) {
    support::MessageLog log;
    HWND hwnd = support::createTestWindow("own", &log, [](HWND h, UINT m, WPARAM w, LPARAM l) {
        return m == kAsk ? static_cast<LRESULT>(w * 2) : DefWindowProcA(h, m, w, l);
    });
    // No message loop runs, yet the call returns with the procedure's result.
    EXPECT_EQ(SendMessageA(hwnd, kAsk, 21, 0), 42);
    EXPECT_EQ(log.of(kAsk).at(0).threadId, GetCurrentThreadId());
    DestroyWindow(hwnd);
}

TEST(SendMessage, ToAnotherThreadRunsOnThatThreadAndWaitsForTheResult) {
    support::WindowThread receiver("receiver", [](HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == kAsk) {
            Sleep(20);
            return static_cast<LRESULT>(w + 1);
        }
        return DefWindowProcA(h, m, w, l);
    });
    EXPECT_EQ(SendMessageA(receiver.hwnd(), kAsk, 9, 0), 10);
    EXPECT_EQ(receiver.log().of(kAsk).at(0).threadId, receiver.threadId());
}

TEST(SendMessage, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    // The test thread owns `near` and runs no loop; while it waits in SendMessageA for the far
    // window, the far window's procedure sends back to `near`, which must be handled.
    support::MessageLog nearLog;
    HWND nearWindow =
        support::createTestWindow("near", &nearLog, [](HWND h, UINT m, WPARAM w, LPARAM l) {
            return m == kAskBack ? static_cast<LRESULT>(w * 10) : DefWindowProcA(h, m, w, l);
        });
    std::atomic<HWND> back{nearWindow};
    support::WindowThread far("far", [&](HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == kAsk) return SendMessageA(back.load(), kAskBack, w, 0) + 1;
        return DefWindowProcA(h, m, w, l);
    });
    EXPECT_EQ(SendMessageA(far.hwnd(), kAsk, 4, 0), 41);
    ASSERT_EQ(nearLog.of(kAskBack).size(), 1u);
    EXPECT_EQ(nearLog.of(kAskBack)[0].threadId, GetCurrentThreadId());
    far.stop();
    DestroyWindow(nearWindow);
}

TEST(SendMessage, SentMessagesAreHandledBeforePostedOnes) {
    support::MessageLog log;
    HANDLE queued = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::promise<HWND> created;
    std::atomic<DWORD> receiverId{0};
    std::thread receiver([&] {
        HWND hwnd = support::createTestWindow("busy", &log);
        receiverId = GetCurrentThreadId();
        created.set_value(hwnd);
        WaitForSingleObject(queued, INFINITE);  // not pumping while both messages queue up
        MSG msg;
        ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
        DispatchMessageA(&msg);
        DestroyWindow(hwnd);
    });
    HWND target = created.get_future().get();
    PostMessageA(target, kPosted, 0, 0);
    std::thread sender([&] { SendMessageA(target, kAsk, 0, 0); });
    ASSERT_TRUE(support::waitUntil([&] { return winsim::messageQueue(receiverId).sent == 1; }));
    EXPECT_EQ(winsim::messageQueue(receiverId).posted, 1);
    SetEvent(queued);
    sender.join();
    receiver.join();
    std::vector<UINT> order;
    for (const auto& message : log.all()) {
        if (message.message == kAsk || message.message == kPosted) order.push_back(message.message);
    }
    EXPECT_EQ(order, (std::vector<UINT>{kAsk, kPosted}));
    CloseHandle(queued);
}

TEST(SendMessage, ReturnsZeroWhenTheWindowOrItsThreadGoesBeforeTheMessageIsTaken) {
    for (bool threadEnds : {false, true}) {
        SCOPED_TRACE(threadEnds ? "thread ends" : "window destroyed");
        HANDLE sendQueued = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::promise<HWND> created;
        std::atomic<DWORD> receiverId{0};
        support::MessageLog log;
        std::thread receiver([&] {
            HWND hwnd = support::createTestWindow("going", &log);
            receiverId = GetCurrentThreadId();
            created.set_value(hwnd);
            WaitForSingleObject(sendQueued, INFINITE);
            if (!threadEnds) DestroyWindow(hwnd);
        });
        HWND target = created.get_future().get();
        std::thread signaller([&] {
            support::waitUntil([&] { return winsim::messageQueue(receiverId).sent == 1; });
            SetEvent(sendQueued);
        });
        SetLastError(0);
        EXPECT_EQ(SendMessageA(target, kAsk, 0, 0), 0);
        EXPECT_TRUE(log.of(kAsk).empty());
        signaller.join();
        receiver.join();
        EXPECT_FALSE(IsWindow(target));
        CloseHandle(sendQueued);
    }
}

TEST(GetMessage, QuitComesAfterPostedMessagesAndEndsTheLoop) {
    HWND hwnd = support::createTestWindow("looping");
    PostMessageA(hwnd, kPosted, 1, 0);
    PostQuitMessage(3);
    PostMessageA(hwnd, kPosted, 2, 0);
    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, hwnd, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(GetMessageA(&msg, hwnd, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(GetMessageA(&msg, hwnd, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), FALSE);  // the quit was taken
    DestroyWindow(hwnd);
    EXPECT_EQ(GetMessageA(&msg, hwnd, 0, 0), -1);  // a dead filter window
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(GetMessage, WindowFilterLeavesOtherMessagesQueued) {
    HWND first = support::createTestWindow("first");
    HWND second = support::createTestWindow("second");
    PostMessageA(second, kPosted, 2, 0);
    PostMessageA(first, kPosted, 1, 0);
    PostMessageA(nullptr, kPosted, 3, 0);  // a thread message
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, first, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(GetMessageA(&msg, first, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_FALSE(PeekMessageA(&msg, first, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, second);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 3u);
    DestroyWindow(first);
    DestroyWindow(second);
}

TEST(PeekMessage, HandlesSentMessages) {
    support::MessageLog log;
    HWND hwnd = support::createTestWindow("peeking", &log);
    std::thread sender([&] { SendMessageA(hwnd, kAsk, 0, 0); });
    ASSERT_TRUE(support::waitUntil([&] {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        return !log.of(kAsk).empty();
    }));
    sender.join();
    DestroyWindow(hwnd);
}

TEST(PostMessage, FailsForAnUnknownThreadAndBeyondTheQueueQuota) {
    EXPECT_FALSE(PostThreadMessageA(0x12345, kPosted, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));

    HWND hwnd = support::createTestWindow("flooded");
    int accepted = 0;
    while (PostMessageA(hwnd, kPosted, 0, 0) && accepted < 20000)
        ++accepted;
    EXPECT_EQ(accepted, 10000);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
    DestroyWindow(hwnd);  // drops the queued messages
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(PostMessage, ThreadMessageReachesTheThreadsQueue) {
    std::promise<DWORD> started;
    std::thread receiver([&] {
        started.set_value(GetCurrentThreadId());
        MSG msg;
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, kPosted);
        EXPECT_EQ(msg.hwnd, nullptr);
        EXPECT_EQ(DispatchMessageA(&msg), 0);
    });
    DWORD id = started.get_future().get();
    EXPECT_TRUE(PostThreadMessageA(id, kPosted, 0, 0));
    receiver.join();
}

}  // namespace

namespace {

TEST(SendMessage, NestedSendsAcrossManyThreadsAllComplete) {
    // Each window answers kAsk with depth d by asking another window with depth d - 1 first,
    // so sends nest across threads while other threads send to the same windows.
    const int kWindows = 4;
    std::vector<std::atomic<HWND>> hwnds(kWindows);
    std::vector<std::unique_ptr<support::WindowThread>> windows;
    for (int i = 0; i < kWindows; ++i) {
        windows.push_back(std::make_unique<support::WindowThread>(
            "nesting", [&, i](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                if (m != kAsk) return DefWindowProcA(h, m, w, l);
                if (w == 0) return 1;
                return SendMessageA(hwnds[(i + 1 + l) % kWindows].load(), kAsk, w - 1, l) + 1;
            }));
        hwnds[i] = windows.back()->hwnd();
    }
    std::vector<std::thread> senders;
    std::atomic<int> wrong{0};
    for (int s = 0; s < 4; ++s) {
        senders.emplace_back([&, s] {
            for (int n = 0; n < 100; ++n) {
                WPARAM depth = static_cast<WPARAM>(n % 4);
                LRESULT result = SendMessageA(hwnds[(s + n) % kWindows].load(), kAsk, depth, n % 3);
                if (result != static_cast<LRESULT>(depth + 1)) ++wrong;
            }
        });
    }
    for (auto& sender : senders)
        sender.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
