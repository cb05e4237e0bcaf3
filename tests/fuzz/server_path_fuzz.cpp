// The uninstaller's handling of the shell extension's server path, over values of any type,
// length and content (absent, empty, exactly filling the buffer without a terminator, longer),
// on either platform family.
//
// First the two rules on their own, each given the text in a block of exactly its length:
// IsDirectoryBelowDriveRoot and IsSystemDirectoryOrAbove must not read past it. Then the whole
// step, RemoveServerDirectory, on a disk where the Windows and system directories, the drive's
// root and a directory beside the server hold marked entries, where the directory that the
// value names exists (with a file in it) and may be, or lie below, a junction to the Windows
// directory.
// Checked: nothing changes but the directory that the value names once its last component is
// cut (where it really is, through a junction), and that only when the rules allow it for both
// its names: an absolute path on a drive, below its root, no
// component of dots and spaces only, not the Windows or system directory or one above them.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "uninstall.h"
#include "winsim/files.h"
#include "winsim/registry.h"
#include "winsim/system.h"

namespace {

const char kServerKey[] = "CLSID\\{51550900-DCAC-11d4-AA0F-0080C87C465D}\\InProcServer32";
const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_NONE};

// The rules on a text in a block of exactly its length.
void checkRules(const std::string& text) {
    char* block = static_cast<char*>(malloc(text.size() + 1));
    memcpy(block, text.c_str(), text.size() + 1);
    IsDirectoryBelowDriveRoot(block);
    IsSystemDirectoryOrAbove(block);
    free(block);
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// The value as the step reads it: the text up to its first zero, when there is one within the
// 260-byte buffer; its directory once cut at the last separator after the first character.
std::string directoryOf(const winsim::Bytes& value, bool present) {
    if (!present || value.size() > MAX_PATH) return "";
    size_t end = 0;
    while (end < value.size() && value[end] != 0)
        ++end;
    if (end == MAX_PATH) return "";
    std::string text(value.begin(), value.begin() + end);
    if (text.size() < 7) return "";
    for (size_t i = text.size() - 1; i >= 1; --i) {
        if (isSeparator(text[i])) return text.substr(0, i);
    }
    return text;
}

// The control API's form of a path the API would read as `path`, when it has one: "C:\a\b".
bool controlForm(const std::string& path, std::string* out) {
    if (path.size() < 4 || !isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
        !isSeparator(path[2])) {
        return false;
    }
    std::string result = path.substr(0, 2);
    size_t start = 3;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        std::string part = path.substr(start, end - start);
        if (!part.empty()) {
            if (part == "." || part == ".." || part.size() > 255) return false;
            for (unsigned char c : part) {
                if (c < 32 || strchr("<>:\"|*?", c) != nullptr) return false;
            }
            result += "\\" + part;
        }
        start = end + 1;
    }
    *out = result;
    return result.size() > 2;
}

// Whether the rules let the step remove `path` (in the control API's form): no component of
// dots and spaces only, and not the Windows or the system directory or one above them.
bool mayRemove(const std::string& path, const std::string& windows, const std::string& system) {
    for (size_t at = 2; at < path.size();) {
        size_t end = path.find('\\', at + 1);
        if (end == std::string::npos) end = path.size();
        if (path.find_first_not_of(". ", at + 1) >= end) return false;
        at = end;
    }
    for (const std::string& kept : {windows, system}) {
        if (fuzz::isWithin(kept, path)) return false;
    }
    return true;
}

// Whether a directory of `path` (in the control API's form) is a file: nothing can be made there.
bool belowAFile(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
        DWORD attributes = winsim::fileAttributes(path.substr(0, at));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    winsim::setFamily(input.flag() ? winsim::Family::Win98Me : winsim::Family::Nt);
    winsim::resetDisk();
    winsim::resetRegistry();

    // The value: absent, or of some type and of every length up to past the buffer.
    bool present = input.below(8) != 0;
    DWORD type = kTypes[input.below(6)];
    // 0: the directory itself is a junction to the Windows directory; 2: a directory above it
    // is (the next byte says which); anything else: no junction.
    size_t link = input.below(8);
    size_t linkDepth = link == 2 ? input.byte() : 0;
    winsim::Bytes value;
    size_t length = input.below(4) == 0 ? 250 + input.below(20) : SIZE_MAX;
    while (!input.empty() && value.size() < length)
        value.push_back(input.byte());
    if (present) winsim::setValue(HKEY_CLASSES_ROOT, kServerKey, "", type, value);
    checkRules(std::string(value.begin(), value.end()).c_str());

    // Marked entries where nothing may change.
    char windows[MAX_PATH], system[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    const DWORD marked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    for (const std::string& file :
         {std::string(windows) + "\\win.ini", std::string(system) + "\\kernel32.dll",
          std::string("C:\\boot.ini"), std::string("C:\\Program Files\\Other\\other.dll")}) {
        winsim::createFile(file, marked);
    }

    // The directory the value names, made where the disk can hold it, and where it really is
    // when a junction above it leads elsewhere.
    std::string named;
    std::string real;
    std::string directory = directoryOf(value, present);
    if (controlForm(directory, &named)) real = named;
    if (!real.empty() && toupper(named[0]) == 'C' && !winsim::pathExists(named) &&
        !belowAFile(named)) {
        std::vector<size_t> above;
        for (size_t at = named.find('\\', 3); at != std::string::npos;
             at = named.find('\\', at + 1))
            above.push_back(at);
        if (link == 0) {
            winsim::createJunction(named, windows);
        } else if (link == 2 && !above.empty()) {
            std::string linkPath = named.substr(0, above[linkDepth % above.size()]);
            if (!winsim::pathExists(linkPath)) {
                winsim::createJunction(linkPath, windows);
                real = windows + named.substr(linkPath.size());
            }
        }
        if (link != 0) winsim::createFile(real + "\\server.dll", marked);
    }

    std::map<std::string, DWORD> before = fuzz::snapshotDisk();
    RemoveServerDirectory();
    std::map<std::string, DWORD> after = fuzz::snapshotDisk();
    bool allowed = mayRemove(named, windows, system) && mayRemove(real, windows, system);
    fuzz::checkUnchangedOutside(before, after, allowed ? real : std::string());
    // Given back now, so that the run frees what it allocated and libFuzzer sees no leak.
    winsim::resetDisk();
    winsim::resetRegistry();
    return 0;
}
