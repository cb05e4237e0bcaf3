#include "library_host.h"

#include <gtest/gtest.h>

#include <dbt.h>

#include <atomic>
#include <cstring>

#include "message_log.h"
#include "winsim/machine.h"

namespace host {

namespace {

// Set before the hook is installed and kept until the process ends.
std::function<bool()> allocationWatcher;
int watchedAllocationKind = 0;

// The library's allocation hook.
int watchAllocation(int kind) {
    return kind == watchedAllocationKind && allocationWatcher() ? 1 : 0;
}

// GetProcAddress's result as the function type it really has.
template <typename Proc>
Proc procAddress(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

Library::Library() {
    module_ = LoadLibraryA(HIDKEYS_LIBRARY);
    EXPECT_NE(module_, nullptr) << HIDKEYS_LIBRARY;
    if (module_ == nullptr) return;
    open_ = procAddress<BUK_OpenProc>(module_, "BUK_Open");
    close_ = procAddress<BUK_CloseProc>(module_, "BUK_Close");
    control_ = procAddress<BUK_ControlProc>(module_, "BUK_Control");
    EXPECT_TRUE(open_ && close_ && control_);
}

Library::~Library() {
    unload();
}

int Library::open(HWND window, UINT keyMessage, UINT noticeMessage) {
    return open_(window, keyMessage, noticeMessage);
}

int Library::close() {
    return close_();
}

int Library::control(int id, int value) {
    return control_(id, value);
}

void Library::unload() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
}

void Library::failEntryAllocation(int nth) {
    auto untilFailure = std::make_shared<std::atomic<int>>(nth);
    watchEntryAllocations([untilFailure] { return untilFailure->fetch_sub(1) == 1; });
}

void Library::watchEntryAllocations(std::function<bool()> watcher) {
    watchAllocations(EntryAllocation, std::move(watcher));
}

void Library::watchAllocations(int kind, std::function<bool()> watcher) {
    using SetHook = void (*)(int (*)(int));
    auto setHook = procAddress<SetHook>(module_, "hidkeysSetAllocationHook");
    ASSERT_NE(setHook, nullptr);
    setHook(nullptr);
    allocationWatcher = std::move(watcher);
    watchedAllocationKind = kind;
    setHook(watchAllocation);
}

long Library::liveHeapBlocks() {
    auto count = procAddress<long (*)()>(module_, "hidkeysLiveHeapBlocks");
    EXPECT_NE(count, nullptr);
    return count != nullptr ? count() : -1;
}

std::ostream& operator<<(std::ostream& out, const Notice& n) {
    return out << std::hex << "{kind 0x" << n.kind << ", id 0x" << n.deviceId << ", vendor 0x"
               << n.vendorId << ", product 0x" << n.productId << ", reserved 0x" << n.reserved
               << "}" << std::dec;
}

std::ostream& operator<<(std::ostream& out, const Key& k) {
    return out << std::hex << "{wParam 0x" << k.wParam << ", lParam 0x" << k.lParam << "}"
               << std::dec;
}

Host::Host(Mode mode, const char* title, UINT keyMessage, UINT noticeMessage)
    : mode_(mode), keyMessage_(keyMessage), noticeMessage_(noticeMessage) {
    auto handler = [this](HWND h, UINT m, WPARAM w, LPARAM l) { return handle(h, m, w, l); };
    if (mode == OwnThread) {
        thread_ = std::make_unique<support::WindowThread>(title, handler);
        hwnd_ = thread_->hwnd();
    } else {
        hwnd_ = support::createTestWindow(title, nullptr, handler);
    }
}

Host::~Host() {
    if (thread_) {
        thread_->stop();
    } else {
        DestroyWindow(hwnd_);
    }
}

LRESULT Host::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == noticeMessage_) {
        EXPECT_EQ(wParam, 1u);
        std::array<uint8_t, 12> bytes;
        std::memcpy(bytes.data(), reinterpret_cast<const void*>(lParam), bytes.size());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            noticeBytes_.push_back(bytes);
            noticeThreads_.push_back(GetCurrentThreadId());
        }
        if (onNotice) onNotice(notices().back());
        return 0;
    }
    if (message == WM_POWERBROADCAST && onPower) onPower(wParam);
    if (message == keyMessage_) {
        std::lock_guard<std::mutex> lock(mutex_);
        keys_.push_back({wParam, lParam});
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::vector<Notice> Host::notices() const {
    std::vector<Notice> result;
    for (const auto& bytes : noticeBytes()) {
        Notice n;
        std::memcpy(&n.kind, &bytes[0], 4);
        std::memcpy(&n.deviceId, &bytes[4], 2);
        std::memcpy(&n.vendorId, &bytes[6], 2);
        std::memcpy(&n.productId, &bytes[8], 2);
        std::memcpy(&n.reserved, &bytes[10], 2);
        result.push_back(n);
    }
    return result;
}

std::vector<Notice> Host::takeNotices() {
    std::vector<Notice> all = notices();
    std::vector<Notice> fresh(all.begin() + static_cast<long>(noticesTaken_), all.end());
    noticesTaken_ = all.size();
    return fresh;
}

std::vector<std::array<uint8_t, 12>> Host::noticeBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return noticeBytes_;
}

std::vector<DWORD> Host::noticeThreads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return noticeThreads_;
}

std::vector<Key> Host::keys() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return keys_;
}

void Host::pumpFor(int ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (mode_ == CallingThread && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(1);
    } while (GetTickCount() - start < static_cast<DWORD>(ms));
}

bool Host::waitForKeys(size_t count, int timeoutMs) {
    return support::waitUntil(
        [&] {
            if (mode_ == CallingThread) pumpFor(0);
            return keys().size() >= count;
        },
        timeoutMs);
}

std::string hostModeName(const ::testing::TestParamInfo<Host::Mode>& info) {
    return info.param == Host::OwnThread ? "OnHostThread" : "OnCallingThread";
}

winsim::HidCollection extraKeyCollection(USHORT inputLength, USHORT outputLength) {
    winsim::HidCollection c;
    c.vendorId = 0x03F0;
    c.productId = 0x0122;
    c.version = 0x0100;
    c.usagePage = 0x0C;
    c.usage = 1;
    c.inputReportLength = inputLength;
    c.outputReportLength = outputLength;
    c.interfaceNumber = 1;
    c.collection = 1;
    return c;
}

winsim::HidCollection otherMakersCollection() {
    winsim::HidCollection c = extraKeyCollection();
    c.vendorId = 0x1234;
    return c;
}

std::vector<winsim::HidCollection> keyboardCollections() {
    winsim::HidCollection keyboard = extraKeyCollection();
    keyboard.usagePage = 1;
    keyboard.usage = 6;
    keyboard.readWrite = false;  // the system keeps keyboards for itself
    keyboard.interfaceNumber = 0;
    keyboard.collection = 0;
    winsim::HidCollection systemControl = extraKeyCollection(2, 0);
    systemControl.usagePage = 1;
    systemControl.usage = 0x80;
    systemControl.collection = 2;
    winsim::HidCollection vendor = extraKeyCollection(8, 8);
    vendor.usagePage = 0xFF00;
    vendor.usage = 2;
    vendor.collection = 3;
    return {extraKeyCollection(), keyboard, systemControl, vendor};
}

winsim::DeviceId attachKeyboard() {
    std::vector<winsim::HidCollection> collections = keyboardCollections();
    // Attached in the order of their paths: the keyboard, then Col01 to Col03.
    winsim::attachHid(collections[1]);
    winsim::DeviceId extraKeys = winsim::attachHid(collections[0]);
    winsim::attachHid(collections[2]);
    winsim::attachHid(collections[3]);
    return extraKeys;
}

void pushKey(winsim::DeviceId device, uint8_t keyByte, uint8_t reportId) {
    winsim::pushInputReport(device, {reportId, keyByte, 0});
}

HWND notifyWindow() {
    return FindWindowA("Thread In DLL", "Thread In DLL");
}

LRESULT sendHandleEvent(WPARAM event, HANDLE handle) {
    DEV_BROADCAST_HANDLE record{};
    record.dbch_size = sizeof record;
    record.dbch_devicetype = DBT_DEVTYP_HANDLE;
    record.dbch_handle = handle;
    return SendMessageA(notifyWindow(), WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record));
}

LRESULT sendInterfaceEvent(WPARAM event, const std::string& path) {
    std::vector<char> buffer(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) + path.size(), 0);
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(buffer.data());
    record->dbcc_size = static_cast<DWORD>(buffer.size());
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = winsim::hidInterfaceGuid();
    std::memcpy(record->dbcc_name, path.c_str(), path.size() + 1);
    return SendMessageA(notifyWindow(), WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record));
}

LRESULT broadcastPower(WPARAM event) {
    HWND target = notifyWindow();
    LRESULT answer = -1;
    for (const auto& [window, result] : winsim::broadcastPower(event)) {
        if (window == target) answer = result;
    }
    EXPECT_NE(target, nullptr);
    return answer;
}

std::vector<HANDLE> watchedHandles() {
    std::vector<HANDLE> handles;
    for (const winsim::NotificationInfo& n : winsim::deviceNotifications()) {
        if (n.forHandle) handles.push_back(n.deviceHandle);
    }
    return handles;
}

std::tuple<int, int, int, int, int> deviceHolding() {
    winsim::Counters c = winsim::counters();
    return {c.deviceHandles, c.preparsedData, c.threadHandles, c.runningThreads,
            c.deviceNotifications};
}

}  // namespace host
