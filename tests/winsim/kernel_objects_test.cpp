// Kernel objects of the simulated machine: handles, events, mutexes, waits, threads, critical
// sections, Interlocked, global memory, and the faults and counters around them.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "message_log.h"
#include "winsim/machine.h"

namespace {

TEST(Handles, ClosedHandleIsDeadAndValuesAreNeverReused) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(CloseHandle(first));

    SetLastError(0);
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(first));

    HANDLE second = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(second, first);
    CloseHandle(second);
    EXPECT_EQ(winsim::counters().kernelHandles(), 0);
}

TEST(Events, ManualResetStaysSetAutoResetWakesOneWait) {
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);

    EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);  // initially set
    EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST(Events, WaitEndsWhenAnotherThreadSetsTheEventAndTimesOutOtherwise) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD start = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(event, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(GetTickCount() - start, 50u);

    int payload = 0;
    std::thread setter([&] {
        payload = 42;
        SetEvent(event);
    });
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(payload, 42);
    setter.join();
    CloseHandle(event);
}

TEST(Mutexes, NamedMutexIsSharedAndReportsAnExistingName) {
    HANDLE first = CreateMutexA(nullptr, TRUE, "Some RunAP");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    std::thread other([] {
        HANDLE second = CreateMutexA(nullptr, TRUE, "Some RunAP");
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        // Same object, owned by the first thread: ownership was not granted to this one.
        EXPECT_EQ(WaitForSingleObject(second, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_FALSE(ReleaseMutex(second));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
        CloseHandle(second);
    });
    other.join();

    // An event cannot take a mutex's name.
    EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, "Some RunAP"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // The owner may wait again (recursion) and must release as often.
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(first));
    CloseHandle(first);

    // The name goes with the last handle.
    HANDLE again = CreateMutexA(nullptr, FALSE, "Some RunAP");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(again);
}

TEST(Mutexes, MutexOfAnEndedOwnerIsAbandoned) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    std::thread owner([&] { EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); });
    owner.join();
    EXPECT_EQ(WaitForSingleObject(mutex, 1000), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST(Waits, WaitForMultipleObjectsAnyAllAndTimeOut) {
    struct Case {
        const char* name;
        bool firstSet, secondSet, waitAll;
        DWORD expected;
    };
    const Case cases[] = {
        {"none set, any", false, false, FALSE, static_cast<DWORD>(WAIT_TIMEOUT)},
        {"second set, any", false, true, FALSE, WAIT_OBJECT_0 + 1},
        {"both set, any: lowest index", true, true, FALSE, WAIT_OBJECT_0},
        {"one set, all", true, false, TRUE, static_cast<DWORD>(WAIT_TIMEOUT)},
        {"both set, all", true, true, TRUE, WAIT_OBJECT_0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE events[2] = {CreateEventA(nullptr, FALSE, c.firstSet, nullptr),
                            CreateEventA(nullptr, FALSE, c.secondSet, nullptr)};
        EXPECT_EQ(WaitForMultipleObjects(2, events, c.waitAll, 20), c.expected);
        if (c.waitAll && c.expected == WAIT_OBJECT_0) {
            // A satisfied wait-all consumes every auto-reset event...
            EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0),
                      static_cast<DWORD>(WAIT_TIMEOUT));
        }
        if (c.waitAll && c.expected == static_cast<DWORD>(WAIT_TIMEOUT) && c.firstSet) {
            // ...while an unsatisfied one consumes none.
            EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_OBJECT_0);
        }
        CloseHandle(events[0]);
        CloseHandle(events[1]);
    }
    HANDLE bad[1] = {reinterpret_cast<HANDLE>(0x7777)};
    EXPECT_EQ(WaitForMultipleObjects(1, bad, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(0, bad, FALSE, 0), WAIT_FAILED);
}

DWORD WINAPI waitThenExit(LPVOID parameter) {
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 7;
}

TEST(Threads, ExitCodeIsStillActiveUntilTheRoutineReturnsAndTheHandleIsSignalledThen) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, waitThenExit, go, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(winsim::counters().runningThreads, 1);

    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 20), static_cast<DWORD>(WAIT_TIMEOUT));

    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(winsim::counters().runningThreads, 0);
    EXPECT_EQ(winsim::counters().threadHandles, 1);
    CloseHandle(thread);
    CloseHandle(go);
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

DWORD WINAPI returnZero(LPVOID) {
    return 0;
}

TEST(Faults, NextCallsFailWithTheDefaultOrGivenError) {
    winsim::failNext(winsim::Fault::CreateThread, 2);
    EXPECT_EQ(CreateThread(nullptr, 0, returnZero, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(CreateThread(nullptr, 0, returnZero, nullptr, 0, nullptr), nullptr);
    HANDLE thread = CreateThread(nullptr, 0, returnZero, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);

    winsim::failNext(winsim::Fault::CreateEvent, 1, ERROR_OUTOFMEMORY);
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OUTOFMEMORY));

    winsim::failNext(winsim::Fault::GlobalAlloc);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 12), nullptr);
    EXPECT_EQ(winsim::counters().globalBlocks, 0);
}

TEST(CriticalSections, ExcludeOtherThreadsAndNestOnTheOwner) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EXPECT_EQ(winsim::counters().criticalSections, 1);

    EnterCriticalSection(&section);
    EnterCriticalSection(&section);  // recursion on the owner
    std::thread probe([&] { EXPECT_FALSE(TryEnterCriticalSection(&section)); });
    probe.join();
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);

    int counter = 0;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&] {
            for (int n = 0; n < 1000; ++n) {
                EnterCriticalSection(&section);
                ++counter;
                LeaveCriticalSection(&section);
            }
        });
    }
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(counter, 4000);

    DeleteCriticalSection(&section);
    EXPECT_EQ(winsim::counters().criticalSections, 0);
}

TEST(Interlocked, OperationsAreAtomicAndReturnThePlatformsValues) {
    LONG volatile value = 0;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&] {
            for (int n = 0; n < 1000; ++n)
                InterlockedIncrement(&value);
        });
    }
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(value, 4000);
    EXPECT_EQ(InterlockedDecrement(&value), 3999);
    EXPECT_EQ(InterlockedExchange(&value, 5), 3999);
    EXPECT_EQ(InterlockedExchangeAdd(&value, 2), 5);
    EXPECT_EQ(InterlockedCompareExchange(&value, 9, 1), 7);  // no match: unchanged
    EXPECT_EQ(InterlockedCompareExchange(&value, 9, 7), 7);
    EXPECT_EQ(value, 9);
}

TEST(GlobalMemory, MoveableZeroedBlockLocksAndFrees) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 12);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(winsim::counters().globalBlocks, 1);

    auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_NE(static_cast<void*>(bytes), block);  // a moveable block's handle is not its address
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(bytes[i], 0);
    EXPECT_EQ(GlobalLock(block), bytes);

    EXPECT_TRUE(GlobalUnlock(block));  // still locked once
    SetLastError(1234);
    EXPECT_FALSE(GlobalUnlock(block));  // now unlocked
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));

    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(block), block);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(winsim::counters().globalBlocks, 0);
}

TEST(Time, TickCountFollowsSleep) {
    DWORD start = GetTickCount();
    Sleep(30);
    EXPECT_GE(GetTickCount() - start, 30u);
}

}  // namespace
