// Window classes and windows: registration per module instance, creation and destruction with
// their messages, ownership by the creating thread, lookup.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "message_log.h"
#include "test_window.h"
#include "winsim/machine.h"

namespace {

HINSTANCE const kModule = reinterpret_cast<HINSTANCE>(0x10000000);
HINSTANCE const kOtherModule = reinterpret_cast<HINSTANCE>(0x20000000);

support::MessageLog* gLog = nullptr;
LRESULT gCreateResult = 0;

LRESULT CALLBACK loggingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (gLog != nullptr) gLog->add({hwnd, message, wParam, lParam, GetCurrentThreadId()});
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        EXPECT_STREQ(create->lpszName, "Title");
        EXPECT_EQ(create->cx, 5);
        return gCreateResult;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

ATOM registerClass(const char* name, HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = loggingProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass);
}

HWND createWindow(const char* className, HINSTANCE instance) {
    return CreateWindowExA(WS_EX_OVERLAPPEDWINDOW, className, "Title", WS_POPUP | WS_CLIPSIBLINGS,
                           0, 0, 5, 5, nullptr, nullptr, instance, nullptr);
}

TEST(WindowClasses, RegisteredOncePerModuleAndNotRemovedWhileWindowsExist) {
    ATOM atom = registerClass("Thread In DLL", kModule);
    ASSERT_NE(atom, 0);
    EXPECT_EQ(registerClass("THREAD IN DLL", kModule), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    EXPECT_NE(registerClass("Thread In DLL", kOtherModule), 0);
    EXPECT_EQ(winsim::counters().windowClasses, 2);

    HWND hwnd = createWindow("Thread In DLL", kModule);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(UnregisterClassA("Thread In DLL", kModule));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(hwnd);

    EXPECT_TRUE(UnregisterClassA(MAKEINTATOM(atom), kModule));  // by atom
    EXPECT_FALSE(UnregisterClassA("Thread In DLL", kModule));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
    EXPECT_TRUE(UnregisterClassA("thread in dll", kOtherModule));
    EXPECT_EQ(winsim::counters().windowClasses, 0);
}

TEST(Windows, CreationAndDestructionSendTheirMessagesInOrder) {
    support::MessageLog log;
    gLog = &log;
    registerClass("Logged", kModule);
    HWND hwnd = createWindow("Logged", kModule);
    ASSERT_NE(hwnd, nullptr);

    winsim::WindowInfo info;
    ASSERT_TRUE(winsim::windowInfo(hwnd, &info));
    EXPECT_EQ(info.className, "Logged");
    EXPECT_EQ(info.classCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(info.style, static_cast<DWORD>(WS_POPUP | WS_CLIPSIBLINGS));
    EXPECT_EQ(info.exStyle, static_cast<DWORD>(WS_EX_OVERLAPPEDWINDOW));
    EXPECT_EQ(info.width, 5);
    EXPECT_EQ(info.threadId, GetCurrentThreadId());

    // WM_CLOSE through DefWindowProcA destroys the window.
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    std::vector<UINT> order;
    for (const auto& message : log.all())
        order.push_back(message.message);
    EXPECT_EQ(order,
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));

    // The dead handle fails everywhere.
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(winsim::counters().windows, 0);
    gLog = nullptr;
}

TEST(Windows, CreationFailsForAnUnknownClassARefusingProcedureOrAFault) {
    registerClass("Refusing", kModule);
    EXPECT_EQ(createWindow("Refusing", kOtherModule), nullptr);  // registered for another module
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

    support::MessageLog log;
    gLog = &log;
    gCreateResult = -1;
    EXPECT_EQ(createWindow("Refusing", kModule), nullptr);
    gCreateResult = 0;
    EXPECT_EQ(log.of(WM_NCDESTROY).size(), 1u);
    EXPECT_EQ(winsim::counters().windows, 0);
    gLog = nullptr;

    winsim::failNext(winsim::Fault::CreateWindow);
    EXPECT_EQ(createWindow("Refusing", kModule), nullptr);
    HWND hwnd = createWindow("Refusing", kModule);
    EXPECT_NE(hwnd, nullptr);
    DestroyWindow(hwnd);

    winsim::failNext(winsim::Fault::RegisterClass);
    EXPECT_EQ(registerClass("Another", kModule), 0);
}

TEST(Windows, CreationDelayHoldsTheCreatingThread) {
    registerClass("Slow", kModule);
    winsim::setWindowCreationDelay(100);
    DWORD start = GetTickCount();
    HWND hwnd = createWindow("Slow", kModule);
    EXPECT_GE(GetTickCount() - start, 100u);
    winsim::setWindowCreationDelay(0);
    DestroyWindow(hwnd);
}

TEST(Windows, OnlyTheOwningThreadDestroysAndItsWindowsGoWhenItEnds) {
    support::MessageLog log;
    HWND hwnd = nullptr;
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE finish = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD ownerId = 0;
    std::thread owner([&] {
        hwnd = support::createTestWindow("owned", &log);
        ownerId = GetCurrentThreadId();
        SetEvent(created);
        WaitForSingleObject(finish, INFINITE);
    });
    WaitForSingleObject(created, INFINITE);

    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(hwnd));
    DWORD processId = 0;
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, &processId), ownerId);
    EXPECT_EQ(processId, GetCurrentProcessId());

    SetEvent(finish);
    owner.join();
    EXPECT_FALSE(IsWindow(hwnd));
    ASSERT_EQ(log.of(WM_DESTROY).size(), 1u);
    EXPECT_EQ(log.of(WM_DESTROY)[0].threadId, ownerId);  // on the ending thread itself
    CloseHandle(created);
    CloseHandle(finish);
}

TEST(Windows, FindWindowMatchesClassAndTitleIgnoringCaseNewestFirst) {
    HWND older = support::createTestWindow("Brenmor Tamboro");
    HWND newer = support::createTestWindow("Brenmor Tamboro");
    HWND other = support::createTestWindow("Something else");
    HWND child = CreateWindowExA(0, "TestWindow", "Brenmor Tamboro", WS_CHILD, 0, 0, 1, 1, newer,
                                 nullptr, support::testInstance(), nullptr);
    ASSERT_NE(child, nullptr);

    EXPECT_EQ(FindWindowA("testwindow", "brenmor tamboro"), newer);
    EXPECT_EQ(FindWindowA(nullptr, "Something else"), other);
    EXPECT_EQ(FindWindowA("TestWindow", nullptr), other);
    EXPECT_EQ(FindWindowA("NoSuchClass", nullptr), nullptr);
    DestroyWindow(newer);
    EXPECT_FALSE(IsWindow(child));  // went with its parent
    EXPECT_EQ(FindWindowA("TestWindow", "Brenmor Tamboro"), older);
    DestroyWindow(older);
    DestroyWindow(other);
}

TEST(Windows, SystemCursorAndNoFocus) {
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadCursorA(kModule, IDC_ARROW), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
}

}  // namespace
