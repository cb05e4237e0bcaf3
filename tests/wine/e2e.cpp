#include "e2e.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace e2e {

void pumpFor(DWORD ms) {
    waitUntil([] { return false; }, ms);
}

bool waitUntil(const std::function<bool()>& done, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, ms - elapsed < 10 ? ms - elapsed : 10,
                                  QS_ALLINPUT);
    }
}

std::string programDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of('\\'));
}

HANDLE start(const std::string& commandLine, const std::string& currentDirectory) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL,
                        currentDirectory.empty() ? NULL : currentDirectory.c_str(), &startup,
                        &process)) {
        fail(__FILE__, __LINE__, "CreateProcessA " + commandLine + " failed");
        return NULL;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

long long waitForExit(HANDLE process, DWORD ms) {
    if (process == NULL || WaitForSingleObject(process, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void writeFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fail(__FILE__, __LINE__, "can't create " + path);
        return;
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL);
    CloseHandle(file);
}

std::string readFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return "";
    char buffer[4096];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer, &read, NULL);
    CloseHandle(file);
    return std::string(buffer, read);
}

void makeDirectories(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), NULL);
    CreateDirectoryA(path.c_str(), NULL);
}

bool keyExists(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void createKey(HKEY root, const std::string& path) {
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS) {
        fail(__FILE__, __LINE__, "can't create key " + path);
        return;
    }
    RegCloseKey(key);
}

void setString(HKEY root, const std::string& path, const std::string& name,
               const std::string& value) {
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS) {
        fail(__FILE__, __LINE__, "can't create key " + path);
        return;
    }
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

bool readValue(HKEY root, const std::string& path, const std::string& name, DWORD* type,
               std::vector<BYTE>* data) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), NULL, type, NULL, &size);
    if (status == ERROR_SUCCESS) {
        data->resize(size);
        status = RegQueryValueExA(key, name.c_str(), NULL, type, data->data(), &size);
        data->resize(size);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool valueExists(HKEY root, const std::string& path, const std::string& name) {
    DWORD type;
    std::vector<BYTE> data;
    return readValue(root, path, name, &type, &data);
}

void deleteTree(HKEY root, const std::string& path) {
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

// Wine's GetProcessHandleCount reports 0 whatever the process holds, so the handles are counted
// one by one: every multiple of 4 below the bound that names an open handle.
DWORD handleCount() {
    const ULONG_PTR kBound = 0x10000;
    DWORD count = 0;
    for (ULONG_PTR value = 4; value < kBound; value += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

DWORD threadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    DWORD count = 0;
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(snapshot, &thread); more;
         more = Thread32Next(snapshot, &thread)) {
        if (thread.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

}  // namespace e2e
