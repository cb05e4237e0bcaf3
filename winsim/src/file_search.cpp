// Directory searches: FindFirstFileA, FindNextFileA, FindClose, with the platform's wildcard
// rules.
//
// A search lists "." and ".." first (except in a drive's root), then the directory's entries in
// the order of their upper-cased names. It keeps its place by name rather than by position, so
// deleting the entries it has returned, or any others, never makes it skip or repeat one;
// entries created behind its place are returned when their turn comes. Patterns match long
// names only: there are no short (8.3) names here.
#include <cctype>
#include <cstring>

#include "system_internal.h"

namespace winsim::detail {

namespace {

// The platform turns a search pattern into these before matching.
const char kDosStar = '<';  // "*" before a ".": anything up to the name's last "."
const char kDosQm = '>';    // "?": one character, or none at the end or before a "."
const char kDosDot = '"';   // "." before a wildcard or at the end: a "." or the name's end

std::string translatePattern(const std::string& pattern) {
    if (pattern == "*.*") return "*";
    std::string out = pattern;
    for (size_t i = 0; i < out.size(); ++i) {
        if (i > 0 && out[i] == '.' && out[i - 1] == '*') out[i - 1] = kDosStar;
        if (out[i] == '?' || out[i] == '*') {
            if (out[i] == '?') out[i] = kDosQm;
            if (i > 0 && out[i - 1] == '.') out[i - 1] = kDosDot;
        }
    }
    if (!out.empty() && out.back() == '.') out.back() = kDosDot;
    return out;
}

bool matchFrom(const std::string& pattern, size_t p, const std::string& name, size_t n) {
    if (p == pattern.size()) return n == name.size();
    char c = pattern[p];
    if (c == '*' || c == kDosStar) {
        size_t limit = name.size();
        size_t lastDot = name.rfind('.');
        if (c == kDosStar && lastDot != std::string::npos && lastDot >= n) limit = lastDot;
        for (size_t k = n; k <= limit; ++k) {
            if (matchFrom(pattern, p + 1, name, k)) return true;
        }
        return false;
    }
    if (c == kDosQm) {
        if (n < name.size() && name[n] != '.') return matchFrom(pattern, p + 1, name, n + 1);
        while (p < pattern.size() && pattern[p] == kDosQm)
            ++p;
        return matchFrom(pattern, p, name, n);
    }
    if (c == kDosDot) {
        if (n == name.size()) return matchFrom(pattern, p + 1, name, n);
        return name[n] == '.' && matchFrom(pattern, p + 1, name, n + 1);
    }
    return n < name.size() &&
           std::toupper(static_cast<unsigned char>(name[n])) ==
               std::toupper(static_cast<unsigned char>(c)) &&
           matchFrom(pattern, p + 1, name, n + 1);
}

struct Search {
    std::shared_ptr<FsNode> directory;
    std::string pattern;
    int dotsOffered = 0;  // "." and ".." come first
    bool started = false;
    std::string lastKey;  // the upper-cased name of the last entry looked at
};

std::map<uintptr_t, Search>& searches() {
    static auto* map = new std::map<uintptr_t, Search>;
    return *map;
}

void fill(WIN32_FIND_DATAA* data, const std::string& name, DWORD attributes) {
    memset(data, 0, sizeof *data);
    data->dwFileAttributes = attributes;
    const FILETIME stamp = {0x5A1C0000u, 0x01C3A5F0u};
    data->ftCreationTime = data->ftLastAccessTime = data->ftLastWriteTime = stamp;
    memcpy(data->cFileName, name.c_str(), name.size() + 1);
}

bool nextMatch(Search& search, WIN32_FIND_DATAA* data) {
    while (!search.directory->root && search.dotsOffered < 2) {
        const char* dots = search.dotsOffered++ == 0 ? "." : "..";
        if (matchesPattern(search.pattern, dots)) {
            fill(data, dots, FILE_ATTRIBUTE_DIRECTORY);
            return true;
        }
    }
    const auto& entries = search.directory->children;
    auto it = search.started ? entries.upper_bound(search.lastKey) : entries.begin();
    for (; it != entries.end(); ++it) {
        search.started = true;
        search.lastKey = it->first;
        if (matchesPattern(search.pattern, it->second->name)) {
            fill(data, it->second->name, reportedAttributes(*it->second));
            return true;
        }
    }
    return false;
}

HANDLE failSearch(DWORD error) {
    setError(error);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool matchesPattern(const std::string& pattern, const std::string& name) {
    return matchFrom(translatePattern(pattern), 0, name, 0);
}

int countFileSearches() {
    return static_cast<int>(searches().size());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    MachineLock lock;
    ++callCountsLocked().findFile;
    if (lpFileName == nullptr || lpFindFileData == nullptr) {
        return failSearch(ERROR_INVALID_PARAMETER);
    }
    std::string text(lpFileName);
    if (text.size() >= MAX_PATH) return failSearch(ERROR_FILENAME_EXCED_RANGE);
    // The directory part keeps its last separator, so that "C:\*" lists the root.
    std::string directoryPart = ".";
    std::string pattern = text;
    size_t separator = text.find_last_of("\\/");
    if (separator != std::string::npos) {
        directoryPart = text.substr(0, separator + 1);
        pattern = text.substr(separator + 1);
    } else if (text.size() >= 2 && text[1] == ':') {
        directoryPart = text.substr(0, 2);
        pattern = text.substr(2);
    }
    if (pattern.empty()) return failSearch(ERROR_FILE_NOT_FOUND);
    if (pattern.find_first_of("<>:\"|") != std::string::npos) {
        return failSearch(ERROR_INVALID_NAME);
    }
    ResolvedPath resolved;
    DWORD error = 0;
    if (!resolveApiPath(directoryPart.c_str(), &resolved, &error)) return failSearch(error);
    if (!resolved.node || !resolved.node->directory) return failSearch(ERROR_PATH_NOT_FOUND);
    Search search;
    search.directory = listedDirectory(resolved.node, &error);
    if (!search.directory) return failSearch(error);
    search.pattern = pattern;
    if (!nextMatch(search, lpFindFileData)) return failSearch(ERROR_FILE_NOT_FOUND);
    uintptr_t value = newHandleValue();
    searches()[value] = search;
    return toHandle<HANDLE>(value);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    MachineLock lock;
    ++callCountsLocked().findFile;
    auto it = searches().find(fromHandle(hFindFile));
    if (it == searches().end()) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpFindFileData == nullptr) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!nextMatch(it->second, lpFindFileData)) {
        setError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    MachineLock lock;
    if (searches().erase(fromHandle(hFindFile)) == 0) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
