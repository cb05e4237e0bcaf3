// HID collections as code on the machine meets them: opening with access and sharing, the HID
// class queries, and overlapped reads and writes that complete into the caller's buffer.
#include <windows.h>
#include <hidsdi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "message_log.h"
#include "winsim/hid.h"
#include "winsim/machine.h"

namespace {

winsim::HidCollection collection(bool readWrite = true) {
    winsim::HidCollection c;
    c.vendorId = 0x03F0;
    c.productId = 0x0122;
    c.version = 0x0105;
    c.usagePage = 0x0C;
    c.usage = 1;
    c.inputReportLength = 3;
    c.outputReportLength = 8;
    c.featureReportLength = 2;
    c.readWrite = readWrite;
    return c;
}

HANDLE open(winsim::DeviceId id, DWORD access = GENERIC_READ | GENERIC_WRITE,
            DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE, DWORD flags = FILE_FLAG_OVERLAPPED) {
    return CreateFileA(winsim::interfacePath(id).c_str(), access, share, nullptr, OPEN_EXISTING,
                       flags, nullptr);
}

// One overlapped transfer with its own manual-reset event, as device code sets it up.
struct Transfer {
    Transfer() : event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) { overlapped.hEvent = event; }
    ~Transfer() { CloseHandle(event); }
    bool signalled() const { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }
    HANDLE event;
    OVERLAPPED overlapped{};
    unsigned char buffer[8] = {};
    DWORD count = 0xFFFF;
};

TEST(HidOpen, AccessSharingAndPathAreHonoured) {
    winsim::DeviceId system = winsim::attachHid(collection(false));
    winsim::DeviceId device = winsim::attachHid(collection());

    struct Case {
        const char* name;
        std::string path;
        DWORD access, share;
        DWORD expectedError;  // 0: opens
    };
    const Case cases[] = {
        {"system collection for reading and writing", winsim::interfacePath(system),
         GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, ERROR_ACCESS_DENIED},
        {"system collection for queries only", winsim::interfacePath(system), 0,
         FILE_SHARE_READ | FILE_SHARE_WRITE, 0},
        {"unknown path", "\\\\?\\hid#vid_9999&pid_9999#1#{4d1e55b2-f16f-11cf-88cb-001111000030}",
         GENERIC_READ, FILE_SHARE_READ, ERROR_FILE_NOT_FOUND},
        {"path spelled as the broadcast spells it", winsim::broadcastPath(device), GENERIC_READ,
         FILE_SHARE_READ | FILE_SHARE_WRITE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE handle = CreateFileA(c.path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
        if (c.expectedError == 0) {
            ASSERT_NE(handle, INVALID_HANDLE_VALUE);
            HIDD_ATTRIBUTES attributes{};
            EXPECT_TRUE(HidD_GetAttributes(handle, &attributes));
            CloseHandle(handle);
        } else {
            EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.expectedError);
        }
    }

    // An open that shares nothing keeps every reader and writer out until it is closed.
    HANDLE exclusive = open(device, GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(device), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(exclusive);
    HANDLE shared = open(device);
    EXPECT_NE(shared, INVALID_HANDLE_VALUE);
    CloseHandle(shared);

    winsim::HidFaults openFails;
    openFails.openError = ERROR_GEN_FAILURE;
    winsim::setHidFaults(device, openFails);
    EXPECT_EQ(open(device), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(winsim::counters().deviceHandles, 0);
}

TEST(HidQueries, ReportTheCollectionAndFailOnRequest) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE handle = open(device);

    HIDD_ATTRIBUTES attributes{};
    ASSERT_TRUE(HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(attributes.Size, sizeof attributes);
    EXPECT_EQ(attributes.VendorID, 0x03F0);
    EXPECT_EQ(attributes.ProductID, 0x0122);
    EXPECT_EQ(attributes.VersionNumber, 0x0105);

    PHIDP_PREPARSED_DATA preparsed = nullptr;
    ASSERT_TRUE(HidD_GetPreparsedData(handle, &preparsed));
    EXPECT_EQ(winsim::counters().preparsedData, 1);
    HIDP_CAPS caps{};
    ASSERT_EQ(HidP_GetCaps(preparsed, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.Usage, 1);
    EXPECT_EQ(caps.UsagePage, 0x0C);
    EXPECT_EQ(caps.InputReportByteLength, 3);
    EXPECT_EQ(caps.OutputReportByteLength, 8);
    EXPECT_EQ(caps.FeatureReportByteLength, 2);
    EXPECT_TRUE(HidD_FreePreparsedData(preparsed));
    EXPECT_FALSE(HidD_FreePreparsedData(preparsed));
    EXPECT_EQ(HidP_GetCaps(preparsed, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);

    struct Case {
        const char* name;
        winsim::HidFaults faults;
    };
    // HidFaults columns: openError, preparsedData, attributes, caps, freePreparsedData.
    const Case cases[] = {
        {"preparsed data", {0, true, false, false, false}},
        {"attributes", {0, false, true, false, false}},
        {"caps", {0, false, false, true, false}},
        {"free", {0, false, false, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::setHidFaults(device, c.faults);
        PHIDP_PREPARSED_DATA data = nullptr;
        bool gotData = HidD_GetPreparsedData(handle, &data);
        EXPECT_EQ(gotData, !c.faults.preparsedData);
        EXPECT_EQ(HidD_GetAttributes(handle, &attributes) != FALSE, !c.faults.attributes);
        if (gotData) {
            EXPECT_EQ(HidP_GetCaps(data, &caps) == HIDP_STATUS_SUCCESS, !c.faults.caps);
            EXPECT_EQ(HidD_FreePreparsedData(data) != FALSE, !c.faults.freePreparsedData);
            winsim::setHidFaults(device, {});
            HidD_FreePreparsedData(data);
        }
    }
    CloseHandle(handle);
    EXPECT_EQ(winsim::counters(), winsim::Counters{});
}

TEST(HidRead, QueuedReportCompletesAtOnce) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE handle = open(device);
    winsim::pushInputReport(device, {0x02, 0x01});  // zero-padded to the report length

    Transfer read;
    memset(read.buffer, 0xAA, sizeof read.buffer);
    ASSERT_TRUE(ReadFile(handle, read.buffer, 3, &read.count, &read.overlapped));
    EXPECT_EQ(read.count, 3u);
    EXPECT_EQ(read.buffer[0], 0x02);
    EXPECT_EQ(read.buffer[1], 0x01);
    EXPECT_EQ(read.buffer[2], 0x00);
    EXPECT_EQ(read.buffer[3], 0xAA);  // beyond the report: untouched
    EXPECT_TRUE(read.signalled());
    EXPECT_TRUE(HasOverlappedIoCompleted(&read.overlapped));
    CloseHandle(handle);
}

TEST(HidRead, PendingReadCompletesIntoTheCallersBufferLater) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE handle = open(device);
    Transfer read;
    SetEvent(read.event);  // a read resets its event when it starts

    EXPECT_FALSE(ReadFile(handle, read.buffer, sizeof read.buffer, &read.count, &read.overlapped));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_FALSE(read.signalled());
    EXPECT_FALSE(HasOverlappedIoCompleted(&read.overlapped));
    EXPECT_FALSE(GetOverlappedResult(handle, &read.overlapped, &read.count, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(winsim::counters().pendingIo, 1);

    std::thread device_([&] {
        Sleep(20);
        winsim::pushInputReport(device, {0x03, 0xE2, 0x07});
    });
    // Waiting in GetOverlappedResult blocks until the report arrives.
    ASSERT_TRUE(GetOverlappedResult(handle, &read.overlapped, &read.count, TRUE));
    device_.join();
    EXPECT_EQ(read.count, 3u);
    EXPECT_EQ(read.buffer[1], 0xE2);
    EXPECT_EQ(read.buffer[2], 0x07);
    EXPECT_TRUE(read.signalled());
    EXPECT_EQ(winsim::counters().pendingIo, 0);
    winsim::HidStats stats = winsim::hidStats(device);
    EXPECT_EQ(stats.readsIssued, 1);
    EXPECT_EQ(stats.readTimes.size(), 1u);
    CloseHandle(handle);
}

TEST(HidRead, EveryHandleKeepsItsOwnQueueOfTheLast32Reports) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE first = open(device);
    HANDLE second = open(device);
    for (int n = 1; n <= 40; ++n)
        winsim::pushInputReport(device, {0x02, static_cast<uint8_t>(n)});

    for (HANDLE handle : {first, second}) {
        std::vector<int> keys;
        Transfer read;
        while (ReadFile(handle, read.buffer, 3, &read.count, &read.overlapped))
            keys.push_back(read.buffer[1]);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        ASSERT_EQ(keys.size(), 32u);
        EXPECT_EQ(keys.front(), 9);  // the eight oldest were dropped
        EXPECT_EQ(keys.back(), 40);
        CancelIo(handle);
    }
    CloseHandle(first);
    CloseHandle(second);
}

TEST(HidRead, WrongBufferAccessOrMissingOverlappedFails) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE writeOnly = open(device, GENERIC_WRITE);
    HANDLE readable = open(device);
    Transfer read;
    struct Case {
        const char* name;
        HANDLE handle;
        DWORD length;
        LPOVERLAPPED overlapped;
        DWORD expectedError;
    };
    const Case cases[] = {
        {"buffer shorter than the report", readable, 2, &read.overlapped,
         ERROR_INVALID_USER_BUFFER},
        {"handle not opened for reading", writeOnly, 3, &read.overlapped, ERROR_ACCESS_DENIED},
        {"overlapped handle without OVERLAPPED", readable, 3, nullptr, ERROR_INVALID_PARAMETER},
        {"not a handle", reinterpret_cast<HANDLE>(0x7777), 3, &read.overlapped,
         ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ReadFile(c.handle, read.buffer, c.length, &read.count, c.overlapped));
        EXPECT_EQ(GetLastError(), c.expectedError);
    }
    EXPECT_EQ(winsim::counters().pendingIo, 0);
    CloseHandle(writeOnly);
    CloseHandle(readable);
}

TEST(HidRead, AlwaysPendSwitchReportsPendingEvenWhenAReportWasQueued) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE handle = open(device);
    winsim::pushInputReport(device, {0x02, 0x05});
    winsim::setReadsAlwaysPend(true);
    Transfer read;
    EXPECT_FALSE(ReadFile(handle, read.buffer, 3, &read.count, &read.overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_TRUE(read.signalled());  // already done: the wait returns at once
    ASSERT_TRUE(GetOverlappedResult(handle, &read.overlapped, &read.count, FALSE));
    EXPECT_EQ(read.buffer[1], 0x05);
    CloseHandle(handle);
}

TEST(HidRead, CancelIoEndsOnlyTheCallingThreadsReads) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE handle = open(device);
    HANDLE cancelNow = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Transfer read;
    std::thread reader([&] {
        EXPECT_FALSE(ReadFile(handle, read.buffer, 3, &read.count, &read.overlapped));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        WaitForSingleObject(cancelNow, INFINITE);
        EXPECT_TRUE(CancelIo(handle));
        WaitForSingleObject(read.event, INFINITE);
        EXPECT_FALSE(GetOverlappedResult(handle, &read.overlapped, &read.count, FALSE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    });
    ASSERT_TRUE(support::waitUntil([&] { return winsim::hidStats(device).pendingReads == 1; }));
    EXPECT_TRUE(CancelIo(handle));  // another thread's read stays
    EXPECT_EQ(winsim::hidStats(device).pendingReads, 1);
    SetEvent(cancelNow);
    reader.join();
    EXPECT_EQ(winsim::hidStats(device).pendingReads, 0);
    CloseHandle(cancelNow);
    CloseHandle(handle);
}

TEST(HidRead, ClosingTheHandleAbortsItsPendingRead) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE handle = open(device);
    Transfer read;
    EXPECT_FALSE(ReadFile(handle, read.buffer, 3, &read.count, &read.overlapped));
    CloseHandle(handle);
    EXPECT_TRUE(read.signalled());
    EXPECT_TRUE(HasOverlappedIoCompleted(&read.overlapped));
    EXPECT_EQ(winsim::counters().pendingIo, 0);
}

TEST(HidRead, SynchronousHandleBlocksUntilAReportArrives) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE handle =
        open(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    std::thread device_([&] {
        support::waitUntil([&] { return winsim::hidStats(device).pendingReads == 1; });
        winsim::pushInputReport(device, {0x02, 0x04});
    });
    unsigned char buffer[3] = {};
    DWORD count = 0;
    EXPECT_TRUE(ReadFile(handle, buffer, 3, &count, nullptr));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(buffer[1], 0x04);
    device_.join();
    CloseHandle(handle);
}

TEST(HidWrite, WritesEndAsTheWriteBehaviourSays) {
    struct Case {
        const char* name;
        winsim::WriteBehaviour behaviour;
        BOOL result;
        DWORD error;  // when the call fails
        DWORD count;  // bytes reported written
        bool recorded;
    };
    // WriteBehaviour columns: pend, bytes (-1: all), error.
    const Case cases[] = {
        {"complete at once", {false, -1, 0}, TRUE, 0, 8, true},
        {"complete short", {false, 5, 0}, TRUE, 0, 5, true},
        {"fail at once", {false, -1, ERROR_GEN_FAILURE}, FALSE, ERROR_GEN_FAILURE, 0, false},
        {"pend, then complete", {true, -1, 0}, FALSE, ERROR_IO_PENDING, 8, true},
        {"pend, then fail", {true, -1, ERROR_GEN_FAILURE}, FALSE, ERROR_IO_PENDING, 0, false},
    };
    const unsigned char report[8] = {0x03, 0x41, 0, 0, 0, 0, 0, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::DeviceId device = winsim::attachHid(collection());
        winsim::setWriteBehaviour(device, c.behaviour);
        HANDLE handle = open(device);
        Transfer write;
        EXPECT_EQ(WriteFile(handle, report, 8, &write.count, &write.overlapped), c.result);
        if (c.result) {
            EXPECT_EQ(write.count, c.count);
        } else {
            EXPECT_EQ(GetLastError(), c.error);
        }
        if (c.behaviour.pend) {
            EXPECT_EQ(winsim::hidStats(device).pendingWrites, 1);
            EXPECT_FALSE(write.signalled());
            EXPECT_EQ(winsim::releaseWrites(device), 1);
            EXPECT_TRUE(write.signalled());
            EXPECT_EQ(GetOverlappedResult(handle, &write.overlapped, &write.count, FALSE) != FALSE,
                      c.behaviour.error == 0);
            EXPECT_EQ(write.count, c.count);
        }
        std::vector<winsim::Bytes> written = winsim::writtenReports(device);
        if (c.recorded) {
            ASSERT_EQ(written.size(), 1u);
            EXPECT_EQ(written[0], winsim::Bytes(report, report + 8));
        } else {
            EXPECT_TRUE(written.empty());
        }
        CloseHandle(handle);
    }
}

TEST(HidWrite, ReportMustHaveTheOutputLength) {
    winsim::DeviceId device = winsim::attachHid(collection());
    HANDLE handle = open(device);
    Transfer write;
    EXPECT_FALSE(WriteFile(handle, write.buffer, 2, &write.count, &write.overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_TRUE(winsim::writtenReports(device).empty());
    CloseHandle(handle);
}

TEST(HidDetach, EndsPendingIoThenEveryLaterCallFails) {
    winsim::DeviceId device = winsim::attachHid(collection());
    winsim::WriteBehaviour pend;
    pend.pend = true;
    winsim::setWriteBehaviour(device, pend);
    HANDLE handle = open(device);
    Transfer read, write;
    EXPECT_FALSE(ReadFile(handle, read.buffer, 3, &read.count, &read.overlapped));
    EXPECT_FALSE(WriteFile(handle, write.buffer, 8, &write.count, &write.overlapped));

    winsim::detachHid(device);
    for (Transfer* transfer : {&read, &write}) {
        EXPECT_TRUE(transfer->signalled());
        EXPECT_FALSE(GetOverlappedResult(handle, &transfer->overlapped, &transfer->count, FALSE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    }
    EXPECT_FALSE(ReadFile(handle, read.buffer, 3, &read.count, &read.overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    HIDD_ATTRIBUTES attributes{};
    EXPECT_FALSE(HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(open(device), INVALID_HANDLE_VALUE);
    CloseHandle(handle);

    // Plugged in again, it opens under the same path.
    winsim::reattachHid(device);
    HANDLE again = open(device);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

#if defined(__SANITIZE_ADDRESS__)
TEST(HidReadDeathTest, BufferFreedBeforeItsReadCompletesIsCaught) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            winsim::DeviceId device = winsim::attachHid(collection());
            HANDLE handle = open(device);
            auto* buffer = new unsigned char[3];
            auto* overlapped = new OVERLAPPED{};
            ReadFile(handle, buffer, 3, nullptr, overlapped);
            delete[] buffer;
            winsim::pushInputReport(device, {0x02, 0x01});
        },
        "heap-use-after-free");
}
#endif

}  // namespace
