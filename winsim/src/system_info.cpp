// The platform family, GetVersion, the Windows and system directories, the current directory
// and the program's own path.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system_internal.h"

namespace winsim::detail {

namespace {

struct SystemState {
    Family family = Family::Nt;
    std::string windowsDirectory = "C:\\WINNT";
    std::string systemDirectory = "C:\\WINNT\\system32";
    std::string programPath = "C:\\PROGRAM.EXE";
    std::string currentDirectory = "C:\\";
};

SystemState& state() {
    static auto* instance = new SystemState;
    return *instance;
}

// The platform's way of handing out a string: the length without the terminator when it fits,
// else the size needed with the terminator, leaving the buffer alone.
DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
    memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

void requireAbsolute(const std::string& path, const char* call) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') {
        fprintf(stderr, "winsim: %s needs an absolute path, not \"%s\"\n", call, path.c_str());
        abort();
    }
}

}  // namespace

Family currentFamily() {
    return state().family;
}

std::string currentDirectoryPath() {
    return state().currentDirectory;
}

std::string windowsDirectoryPath() {
    return state().windowsDirectory;
}

std::string systemDirectoryPath() {
    return state().systemDirectory;
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

DWORD WINAPI GetVersion(void) {
    MachineLock lock;
    // Windows 2000 (5.0, build 2195) or Windows Me (4.90, high bit set).
    return currentFamily() == winsim::Family::Nt ? 0x08930005u : 0xC0005A04u;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    MachineLock lock;
    return copyOut(state().windowsDirectory, lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    MachineLock lock;
    return copyOut(state().systemDirectory, lpBuffer, uSize);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    MachineLock lock;
    return copyOut(state().currentDirectory, lpBuffer, nBufferLength);
}

// Only the program's own module (NULL) is known. A path that does not fit is cut to nSize
// characters without a terminator and nSize is returned, as Windows 2000 does.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    MachineLock lock;
    const std::string& path = state().programPath;
    if (hModule != nullptr) {
        setError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (path.empty()) {
        setError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (lpFilename == nullptr || nSize == 0) {
        setError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() < nSize) {
        memcpy(lpFilename, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    memcpy(lpFilename, path.data(), nSize);
    setError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

}  // extern "C"

namespace winsim {

void setFamily(Family family) {
    detail::MachineLock lock;
    SystemState& s = state();
    s.family = family;
    s.windowsDirectory = family == Family::Nt ? "C:\\WINNT" : "C:\\WINDOWS";
    s.systemDirectory = s.windowsDirectory + (family == Family::Nt ? "\\system32" : "\\SYSTEM");
    detail::ensureDirectory(s.systemDirectory);
}

Family family() {
    detail::MachineLock lock;
    return state().family;
}

void setWindowsDirectory(const std::string& path) {
    requireAbsolute(path, "setWindowsDirectory");
    detail::MachineLock lock;
    state().windowsDirectory = path;
    detail::ensureDirectory(path);
}

void setSystemDirectory(const std::string& path) {
    requireAbsolute(path, "setSystemDirectory");
    detail::MachineLock lock;
    state().systemDirectory = path;
    detail::ensureDirectory(path);
}

void setProgramPath(const std::string& path) {
    detail::MachineLock lock;
    state().programPath = path;
}

void setCurrentDirectory(const std::string& path) {
    requireAbsolute(path, "setCurrentDirectory");
    detail::MachineLock lock;
    state().currentDirectory = path;
}

}  // namespace winsim
