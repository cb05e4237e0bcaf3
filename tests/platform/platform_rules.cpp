// The rules of the platform that the deliverables rely on, as Windows has them: the same program
// runs on winsim (native build) and on Wine (64-bit build, under wine64), so that where winsim's
// model and a real implementation of Win32 part, a test shows it. Only calls that winsim
// provides are used.
#include <windows.h>
// After windows.h, which defines the types they use.
#include <dbt.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "case_checks.h"
#include "file_tree.h"
#ifndef _WIN32
#include "winsim/files.h"
#endif

namespace {

using fixtures::removeFileTree;

// Whether the program runs on Wine. Where Wine departs from Windows, a check says so and holds
// Wine only to what it can show; everywhere else the same rule holds on winsim and on Wine.
bool onWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
#else
    return false;
#endif
}

// ---- registry ------------------------------------------------------------------------------

const char kKeyBase[] = "Software\\PlatformRules";

void deleteKeyTree(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key) == ERROR_SUCCESS) {
        char name[256];
        DWORD length = sizeof name;
        std::vector<std::string> children;
        for (DWORD index = 0;
             length = sizeof name, RegEnumKeyExA(key, index, name, &length, NULL, NULL, NULL,
                                                 NULL) == ERROR_SUCCESS;
             ++index) {
            children.push_back(name);
        }
        RegCloseKey(key);
        for (const std::string& child : children)
            deleteKeyTree(root, path + "\\" + child);
    }
    RegDeleteKeyA(root, path.c_str());
}

HKEY createKey(const std::string& path, DWORD* disposition = NULL) {
    HKEY key = NULL;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                  &key, disposition);
    CHECK_EQ(status, ERROR_SUCCESS);
    return key;
}

LONG openKey(const std::string& path, REGSAM access, HKEY* key) {
    *key = NULL;
    return RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, key);
}

void registry() {
    const std::string base = kKeyBase;
    deleteKeyTree(HKEY_CURRENT_USER, base);

    DWORD disposition = 0;
    RegCloseKey(createKey(base + "\\Parent\\Child", &disposition));
    CHECK_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(createKey(base + "\\Parent\\Child", &disposition));
    CHECK_EQ(disposition, REG_OPENED_EXISTING_KEY);

    // Names compare without regard to case; missing keys and values are "file not found".
    HKEY key;
    CHECK_EQ(openKey(base + "\\PARENT\\child", KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    CHECK_EQ(openKey(base + "\\Missing", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (base + "\\Missing").c_str()), ERROR_FILE_NOT_FOUND);

    // A key with subkeys stays; without them it goes.
    CHECK_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (base + "\\Parent").c_str()), ERROR_ACCESS_DENIED);
    CHECK_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (base + "\\Parent\\Child").c_str()), ERROR_SUCCESS);
    CHECK_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (base + "\\Parent").c_str()), ERROR_SUCCESS);

    // Values: the default value is the name "", a short buffer gets ERROR_MORE_DATA and the size.
    key = createKey(base + "\\Values");
    DWORD one = 1;
    CHECK_EQ(RegSetValueExA(key, "", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
             ERROR_SUCCESS);
    const char text[] = "a longer text";
    CHECK_EQ(
        RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
        ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = sizeof value;
    CHECK_EQ(RegQueryValueExA(key, NULL, NULL, &type, reinterpret_cast<BYTE*>(&value), &size),
             ERROR_SUCCESS);
    CHECK_EQ(type, REG_DWORD);
    CHECK_EQ(value, 1);
    char small[4];
    size = sizeof small;
    CHECK_EQ(RegQueryValueExA(key, "text", NULL, &type, reinterpret_cast<BYTE*>(small), &size),
             ERROR_MORE_DATA);
    CHECK_EQ(size, sizeof text);
    CHECK_EQ(RegQueryValueExA(key, "Missing", NULL, &type, NULL, &size), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(RegDeleteValueA(key, "Missing"), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(RegDeleteValueA(key, "Text"), ERROR_SUCCESS);
    RegCloseKey(key);

    // Subkeys enumerate in the order of their upper-cased names, whatever the order of creation.
    for (const char* name : {"b", "C", "a", "_x"})
        RegCloseKey(createKey(base + "\\Order\\" + name));
    if (CHECK_EQ(openKey(base + "\\Order", KEY_READ, &key), ERROR_SUCCESS)) {
        std::string order;
        char name[256];
        DWORD length = sizeof name;
        DWORD index = 0;
        while (length = sizeof name,
               RegEnumKeyExA(key, index, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
            order += std::string(name) + " ";
            ++index;
        }
        length = sizeof name;
        CHECK_EQ(RegEnumKeyExA(key, index, name, &length, NULL, NULL, NULL, NULL),
                 ERROR_NO_MORE_ITEMS);
        // Wine sorts "_" before the letters, as if it compared lower-cased names.
        const char* expected = onWine() ? "_x a b C " : "a b C _x ";
        if (order != expected) checks::fail(__FILE__, __LINE__, "subkey order: " + order);
        RegCloseKey(key);
    }

    // A key deleted while a handle is open: the handle stays, and writing through it fails.
    key = createKey(base + "\\Doomed");
    CHECK_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (base + "\\Doomed").c_str()), ERROR_SUCCESS);
    CHECK_EQ(RegSetValueExA(key, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
             ERROR_KEY_DELETED);
    CHECK_EQ(RegCloseKey(key), ERROR_SUCCESS);

    deleteKeyTree(HKEY_CURRENT_USER, base);
    CHECK_EQ(openKey(base, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

// Writes a DACL of the given entries (each granting `mask` to Everyone) to the key.
LONG writeEveryoneDacl(HKEY key, const std::vector<ACCESS_MASK>& masks) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = NULL;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    alignas(8) BYTE buffer[256];
    ACL* acl = reinterpret_cast<ACL*>(buffer);
    InitializeAcl(acl, sizeof buffer, ACL_REVISION);
    for (ACCESS_MASK mask : masks)
        AddAccessAllowedAce(acl, ACL_REVISION, mask, everyone);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    FreeSid(everyone);
    return status;
}

void registrySecurity() {
    const std::string base = std::string(kKeyBase) + "Security";
    deleteKeyTree(HKEY_CURRENT_USER, base);
    RegCloseKey(createKey(base + "\\Open\\Child"));

    // A handle carries the rights it was opened with.
    HKEY key;
    DWORD one = 1;
    if (CHECK_EQ(openKey(base + "\\Open", KEY_READ, &key), ERROR_SUCCESS)) {
        CHECK_EQ(RegSetValueExA(key, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
                 ERROR_ACCESS_DENIED);
        RegCloseKey(key);
    }
    // Creating a subkey is checked against the parent's security, not the handle's rights.
    if (CHECK_EQ(openKey(base + "\\Open", KEY_ENUMERATE_SUB_KEYS, &key), ERROR_SUCCESS)) {
        HKEY child = NULL;
        CHECK_EQ(RegCreateKeyExA(key, "Created", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &child, NULL),
                 ERROR_SUCCESS);
        if (child != NULL) RegCloseKey(child);
        RegCloseKey(key);
    }
    // RegSetKeySecurity needs a handle opened with WRITE_DAC.
    if (CHECK_EQ(openKey(base + "\\Open", KEY_READ, &key), ERROR_SUCCESS)) {
        CHECK_EQ(writeEveryoneDacl(key, {KEY_ALL_ACCESS}), ERROR_ACCESS_DENIED);
        RegCloseKey(key);
    }

    // A DACL that grants only reading: writing and deleting are refused, reading is not, and
    // the key's owner (who created it) may still replace the DACL.
    if (CHECK_EQ(openKey(base + "\\Open\\Child", WRITE_DAC, &key), ERROR_SUCCESS)) {
        CHECK_EQ(writeEveryoneDacl(key, {KEY_READ}), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    CHECK_EQ(openKey(base + "\\Open\\Child", KEY_SET_VALUE, &key), ERROR_ACCESS_DENIED);
    CHECK_EQ(openKey(base + "\\Open\\Child", KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    // Wine deletes the key although its DACL does not grant DELETE.
    if (!onWine()) {
        CHECK_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (base + "\\Open\\Child").c_str()),
                 ERROR_ACCESS_DENIED);
    }
    if (CHECK_EQ(openKey(base + "\\Open\\Child", WRITE_DAC, &key), ERROR_SUCCESS)) {
        CHECK_EQ(writeEveryoneDacl(key, {KEY_ALL_ACCESS}), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    CHECK_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (base + "\\Open\\Child").c_str()), ERROR_SUCCESS);
    deleteKeyTree(HKEY_CURRENT_USER, base);
}

// ---- files ---------------------------------------------------------------------------------

const char kFileBase[] = "C:\\platform-rules";

// The files a case needs. winsim's CreateFileA opens devices only (the programs create no
// files), so there its control API makes them and marks one as in use.
void makeFile(const std::string& path) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (CHECK(file != INVALID_HANDLE_VALUE)) CloseHandle(file);
#else
    winsim::createFile(path, FILE_ATTRIBUTE_ARCHIVE);
#endif
}

// Holds `path` open without delete sharing until `release` is called with the result.
HANDLE holdOpen(const std::string& path) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    CHECK(file != INVALID_HANDLE_VALUE);
    return file;
#else
    winsim::setFileInUse(path, true);
    return NULL;
#endif
}

void release(HANDLE file, const std::string& path) {
#ifdef _WIN32
    (void)path;
    CloseHandle(file);
#else
    (void)file;
    winsim::setFileInUse(path, false);
#endif
}

// The error a failed call left, after checking that it failed.
DWORD failure(BOOL result) {
    CHECK(!result);
    return GetLastError();
}

std::vector<std::string> search(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE handle = FindFirstFileA(pattern.c_str(), &entry);
    if (handle == INVALID_HANDLE_VALUE) return names;
    do
        names.push_back(entry.cFileName);
    while (FindNextFileA(handle, &entry));
    CHECK_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    FindClose(handle);
    return names;
}

void files() {
    const std::string base = kFileBase;
    removeFileTree(base);
    CHECK(CreateDirectoryA(base.c_str(), NULL));
    CHECK_EQ(failure(CreateDirectoryA(base.c_str(), NULL)), ERROR_ALREADY_EXISTS);
    CHECK_EQ(failure(CreateDirectoryA((base + "\\no\\such").c_str(), NULL)), ERROR_PATH_NOT_FOUND);

    CHECK_EQ(GetFileAttributesA((base + "\\missing").c_str()), INVALID_FILE_ATTRIBUTES);
    CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(GetFileAttributesA((base + "\\no\\missing").c_str()), INVALID_FILE_ATTRIBUTES);
    CHECK_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    CHECK_EQ(failure(DeleteFileA((base + "\\missing").c_str())), ERROR_FILE_NOT_FOUND);
    HANDLE missing = CreateFileA((base + "\\missing").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    CHECK(missing == INVALID_HANDLE_VALUE);
    CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // A search by pattern; "*" in a directory also lists "." and "..".
    const std::string dir = base + "\\search";
    CHECK(CreateDirectoryA(dir.c_str(), NULL));
    for (const char* name : {"setup.001", "KBD.001", "keep.002", "notes.txt"})
        makeFile(dir + "\\" + name);
    std::vector<std::string> found = search(dir + "\\*.001");
    CHECK_EQ(found.size(), 2);
    for (const std::string& name : found) {
        if (name != "setup.001" && name != "KBD.001")
            checks::fail(__FILE__, __LINE__, "found " + name);
    }
    found = search(dir + "\\*");
    CHECK_EQ(found.size(), 6);
    CHECK(search(dir + "\\*.003").empty());
    CHECK_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // A directory that holds something stays; a read-only file stays until its attribute goes.
    CHECK_EQ(failure(RemoveDirectoryA(dir.c_str())), ERROR_DIR_NOT_EMPTY);
    const std::string readOnly = dir + "\\setup.001";
    CHECK(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    // Wine keeps no archive attribute and reports it on every file.
    DWORD shown = GetFileAttributesA(readOnly.c_str());
    if (onWine()) shown &= ~FILE_ATTRIBUTE_ARCHIVE;
    CHECK_EQ(shown, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    CHECK_EQ(failure(DeleteFileA(readOnly.c_str())), ERROR_ACCESS_DENIED);
    CHECK(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK(DeleteFileA(readOnly.c_str()));

    // DeleteFileA does not remove directories; RemoveDirectoryA does not remove files.
    CHECK_EQ(failure(DeleteFileA(dir.c_str())), ERROR_ACCESS_DENIED);
    CHECK_EQ(failure(RemoveDirectoryA((dir + "\\keep.002").c_str())), ERROR_DIRECTORY);

    // A file open without delete sharing can't be deleted.
    HANDLE open = holdOpen(dir + "\\notes.txt");
    CHECK_EQ(failure(DeleteFileA((dir + "\\notes.txt").c_str())), ERROR_SHARING_VIOLATION);
    release(open, dir + "\\notes.txt");
    CHECK(DeleteFileA((dir + "\\notes.txt").c_str()));

    removeFileTree(base);
    CHECK_EQ(GetFileAttributesA(base.c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---- kernel objects ------------------------------------------------------------------------

DWORD WINAPI releaseMutexElsewhere(LPVOID mutex) {
    SetLastError(0);
    BOOL released = ReleaseMutex(static_cast<HANDLE>(mutex));
    return released ? 0 : GetLastError();
}

DWORD WINAPI exitWith42(LPVOID) {
    return 42;
}

void kernelObjects() {
    // A named mutex: the first creation clears the last error, the second reports the first.
    const char name[] = "PlatformRules Mutex";
    SetLastError(ERROR_ALREADY_EXISTS);
    HANDLE first = CreateMutexA(NULL, TRUE, name);
    CHECK(first != NULL);
    CHECK_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE second = CreateMutexA(NULL, TRUE, name);
    CHECK(second != NULL);
    CHECK_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(second);

    // Only the owner releases a mutex.
    HANDLE thread = CreateThread(NULL, 0, releaseMutexElsewhere, first, 0, NULL);
    CHECK_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CHECK_EQ(code, ERROR_NOT_OWNER);
    CloseHandle(thread);
    CHECK(ReleaseMutex(first));
    CloseHandle(first);

    // An auto-reset event lets one wait through per signal.
    HANDLE event = CreateEventA(NULL, FALSE, FALSE, NULL);
    CHECK_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    SetEvent(event);
    CHECK_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CHECK_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    // A manual-reset event stays signalled; a wait for any reports the lowest signalled index.
    HANDLE manual = CreateEventA(NULL, TRUE, TRUE, NULL);
    SetEvent(event);
    HANDLE both[] = {event, manual};
    CHECK_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0);
    CHECK_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
    CHECK_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_TIMEOUT);
    ResetEvent(manual);
    CHECK_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    CloseHandle(event);
    CloseHandle(manual);

    // A thread's handle is signalled when it ends, with its exit code kept.
    thread = CreateThread(NULL, 0, exitWith42, NULL, 0, NULL);
    CHECK_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CHECK(GetExitCodeThread(thread, &code));
    CHECK_EQ(code, 42);
    CHECK(CloseHandle(thread));
}

// ---- windows -------------------------------------------------------------------------------

const char kClass[] = "PlatformRulesWindow";
// The program's classes and windows: a null instance stands for the program's own module.
const HINSTANCE kInstance = NULL;
int createMessages = 0;
int destroyMessages = 0;
bool refuseCreation = false;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        ++createMessages;
        return refuseCreation ? -1 : 0;
    }
    if (message == WM_DESTROY) ++destroyMessages;
    if (message == WM_APP) return static_cast<LRESULT>(wParam) * 2;
    if (message == WM_APP + 1) return InSendMessage() ? 1 : 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

ATOM registerClass() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = recordingProc;
    windowClass.hInstance = kInstance;
    windowClass.lpszClassName = kClass;
    return RegisterClassA(&windowClass);
}

HWND createWindow(const char* title = "rules") {
    return CreateWindowExA(0, kClass, title, WS_POPUP, 0, 0, 10, 10, NULL, NULL, kInstance, NULL);
}

DWORD WINAPI destroyElsewhere(LPVOID window) {
    SetLastError(0);
    BOOL destroyed = DestroyWindow(static_cast<HWND>(window));
    return destroyed ? 0 : GetLastError();
}

void windows() {
    CHECK(registerClass() != 0);
    SetLastError(0);
    CHECK_EQ(registerClass(), 0);
    CHECK_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

    SetLastError(0);
    CHECK(CreateWindowExA(0, "NoSuchClass", "x", WS_POPUP, 0, 0, 1, 1, NULL, NULL, kInstance,
                          NULL) == NULL);
    // Wine reports ERROR_CLASS_DOES_NOT_EXIST.
    CHECK_EQ(GetLastError(), onWine() ? ERROR_CLASS_DOES_NOT_EXIST : ERROR_CANNOT_FIND_WND_CLASS);

    // WM_CREATE comes during creation; -1 from it makes the creation fail.
    HWND window = createWindow("rules window");
    CHECK(window != NULL);
    CHECK_EQ(createMessages, 1);
    refuseCreation = true;
    CHECK(createWindow() == NULL);
    refuseCreation = false;

    CHECK(FindWindowA(kClass, "rules window") == window);
    CHECK(FindWindowA(kClass, NULL) == window);
    CHECK(FindWindowA(kClass, "another title") == NULL);
    DWORD processId = 0;
    CHECK_EQ(GetWindowThreadProcessId(window, &processId), GetCurrentThreadId());
    CHECK_EQ(processId, GetCurrentProcessId());
    CHECK(LoadCursorA(NULL, IDC_ARROW) != NULL);
    CHECK(LoadCursorA(NULL, IDC_ARROW) == LoadCursorA(NULL, IDC_ARROW));

    // Only the thread that owns a window destroys it.
    HANDLE thread = CreateThread(NULL, 0, destroyElsewhere, window, 0, NULL);
    WaitForSingleObject(thread, 5000);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    CHECK_EQ(code, ERROR_ACCESS_DENIED);
    CHECK(IsWindow(window));

    // The class stays while a window of it lives.
    SetLastError(0);
    CHECK(!UnregisterClassA(kClass, kInstance));
    CHECK_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    int destroyed = destroyMessages;
    CHECK(DestroyWindow(window));
    CHECK_EQ(destroyMessages, destroyed + 1);
    CHECK(!IsWindow(window));
    CHECK(UnregisterClassA(kClass, kInstance));
    SetLastError(0);
    CHECK(!UnregisterClassA(kClass, kInstance));
    CHECK_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);

    // A destroyed window takes no messages.
    SetLastError(0);
    CHECK(!PostMessageA(window, WM_APP, 0, 0));
    CHECK_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    CHECK_EQ(SendMessageA(window, WM_APP, 1, 0), 0);
}

// ---- messages ------------------------------------------------------------------------------

const char kPeerClass[] = "PlatformRulesPeer";
HWND callerWindow = NULL;  // on the main thread

// The peer's window: inside a message sent by the main thread, it sends one back.
LRESULT CALLBACK peerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 2) return SendMessageA(callerWindow, WM_APP, 21, 0);
    return recordingProc(window, message, wParam, lParam);
}

struct Peer {
    HWND window = NULL;
    HANDLE ready = NULL;
};

DWORD WINAPI peerThread(LPVOID parameter) {
    Peer* peer = static_cast<Peer*>(parameter);
    peer->window =
        CreateWindowExA(0, kPeerClass, "peer", WS_POPUP, 0, 0, 10, 10, NULL, NULL, kInstance, NULL);
    SetEvent(peer->ready);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    DestroyWindow(peer->window);
    return static_cast<DWORD>(msg.wParam);
}

DWORD WINAPI sendToCaller(LPVOID) {
    return static_cast<DWORD>(SendMessageA(callerWindow, WM_APP, 50, 0));
}

void messages() {
    registerClass();
    WNDCLASSA peerClass = {};
    peerClass.lpfnWndProc = peerProc;
    peerClass.hInstance = kInstance;
    peerClass.lpszClassName = kPeerClass;
    CHECK(RegisterClassA(&peerClass) != 0);
    HWND window = createWindow();
    callerWindow = window;

    // Posted messages come in order; the quit message comes when the queue is otherwise empty,
    // also to a loop that filters on a window.
    PostMessageA(window, WM_APP + 10, 1, 0);
    PostMessageA(window, WM_APP + 10, 2, 0);
    PostQuitMessage(7);
    MSG msg;
    CHECK(GetMessageA(&msg, window, 0, 0) > 0);
    CHECK_EQ(msg.wParam, 1);
    CHECK(GetMessageA(&msg, window, 0, 0) > 0);
    CHECK_EQ(msg.wParam, 2);
    CHECK_EQ(GetMessageA(&msg, window, 0, 0), 0);
    CHECK_EQ(msg.message, WM_QUIT);
    CHECK_EQ(msg.wParam, 7);
    CHECK(!PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));

    // A message sent on the same thread is a direct call, and not "in a sent message".
    CHECK_EQ(SendMessageA(window, WM_APP, 5, 0), 10);
    CHECK_EQ(SendMessageA(window, WM_APP + 1, 0, 0), 0);

    Peer peer;
    peer.ready = CreateEventA(NULL, TRUE, FALSE, NULL);
    DWORD peerId = 0;
    HANDLE thread = CreateThread(NULL, 0, peerThread, &peer, 0, &peerId);
    CHECK_EQ(WaitForSingleObject(peer.ready, 5000), WAIT_OBJECT_0);

    // Sent to another thread: handled there, inside a sent message, with its result returned;
    // while the sender waits, it handles what is sent to its own windows.
    CHECK_EQ(SendMessageA(peer.window, WM_APP, 4, 0), 8);
    CHECK_EQ(SendMessageA(peer.window, WM_APP + 1, 0, 0), 1);
    CHECK_EQ(SendMessageA(peer.window, WM_APP + 2, 0, 0), 42);

    // A wait for sent messages wakes for one, and a peek handles it.
    HANDLE never = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE sender = CreateThread(NULL, 0, sendToCaller, NULL, 0, NULL);
    CHECK_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, 5000, QS_SENDMESSAGE), WAIT_OBJECT_0 + 1);
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
    CHECK_EQ(WaitForSingleObject(sender, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(sender, &code);
    CHECK_EQ(code, 100);
    CloseHandle(sender);
    CloseHandle(never);

    // A thread message to a thread with a queue arrives; its quit message ends the loop.
    CHECK(PostThreadMessageA(peerId, WM_QUIT, 3, 0));
    CHECK_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    GetExitCodeThread(thread, &code);
    CHECK_EQ(code, 3);
    CloseHandle(thread);
    CloseHandle(peer.ready);
    SetLastError(0);
    CHECK(!PostThreadMessageA(peerId, WM_APP, 0, 0));  // the thread is gone
    // Wine reports ERROR_INVALID_PARAMETER.
    CHECK_EQ(GetLastError(), onWine() ? ERROR_INVALID_PARAMETER : ERROR_INVALID_THREAD_ID);
    DestroyWindow(window);
}

// ---- device notifications and the HID class ------------------------------------------------

void deviceNotifications() {
    registerClass();
    HWND window = createWindow();
    DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    HDEVNOTIFY notification =
        RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    CHECK(notification != NULL);
    CHECK(UnregisterDeviceNotification(notification));
    DestroyWindow(window);
}

void hidEnumeration() {
    // On a machine without the keyboard: the HID interface class can be listed, and lists none
    // of the keyboard's.
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    const GUID expected = {
        0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    CHECK(std::memcmp(&hidGuid, &expected, sizeof hidGuid) == 0);
    HDEVINFO set =
        SetupDiGetClassDevsA(&hidGuid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (!CHECK(set != INVALID_HANDLE_VALUE)) return;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    DWORD index = 0;
    while (SetupDiEnumDeviceInterfaces(set, NULL, &hidGuid, index, &data))
        ++index;
    CHECK_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    std::printf("%lu HID interfaces present\n", static_cast<unsigned long>(index));
    SetupDiDestroyDeviceInfoList(set);
}

}  // namespace

int main(int argc, char** argv) {
    return checks::runCase(argc, argv,
                           {{"registry", registry},
                            {"registry_security", registrySecurity},
                            {"files", files},
                            {"kernel_objects", kernelObjects},
                            {"windows", windows},
                            {"messages", messages},
                            {"device_notifications", deviceNotifications},
                            {"hid_enumeration", hidEnumeration}});
}
