// What the fuzz targets share: reading the fuzz input as a stream of choices, the failure
// report, and a picture of the simulated disk to compare before and after a run.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "winsim/files.h"

namespace fuzz {

// The input as a stream of choices. Once it is used up every read gives 0, so any input,
// the empty one too, makes a whole run.
class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return used_ >= size_; }
    uint8_t byte() { return empty() ? 0 : data_[used_++]; }
    // A number in [0, count), from one byte; count is at most 256.
    size_t below(size_t count) { return count == 0 ? 0 : byte() % count; }
    bool flag() { return (byte() & 1) != 0; }
    uint16_t word() { return static_cast<uint16_t>(byte() | byte() << 8); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
};

// A broken property: says which and stops the run, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const std::string& what) {
    fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    abort();
}

inline void check(bool holds, const std::string& what) {
    if (!holds) fail(what);
}

inline bool isLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Every entry below `directory` (junctions listed, never followed), by path, with its
// attributes: what a run may or may not change.
inline void snapshotInto(const std::string& directory, std::map<std::string, DWORD>* entries) {
    std::string prefix = directory.back() == '\\' ? directory : directory + "\\";
    for (const auto& name : winsim::directoryEntries(directory)) {
        std::string path = prefix + name;
        DWORD attributes = winsim::fileAttributes(path);
        (*entries)[path] = attributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !isLink(attributes)) {
            snapshotInto(path, entries);
        }
    }
}

inline std::map<std::string, DWORD> snapshotDisk() {
    std::map<std::string, DWORD> entries;
    snapshotInto("C:\\", &entries);
    return entries;
}

// Whether `path` is `directory` or lies below it, letters compared without regard to case.
inline bool isWithin(const std::string& path, const std::string& directory) {
    if (path.size() < directory.size()) return false;
    for (size_t i = 0; i < directory.size(); ++i) {
        if (toupper(static_cast<unsigned char>(path[i])) !=
            toupper(static_cast<unsigned char>(directory[i]))) {
            return false;
        }
    }
    return path.size() == directory.size() || path[directory.size()] == '\\';
}

// Fails when an entry outside `kept` (a directory, or "" for none) appeared, went or changed
// its attributes between the two pictures.
inline void checkUnchangedOutside(const std::map<std::string, DWORD>& before,
                                  const std::map<std::string, DWORD>& after,
                                  const std::string& kept) {
    auto outside = [&](const std::string& path) { return kept.empty() || !isWithin(path, kept); };
    for (const auto& [path, attributes] : before) {
        if (!outside(path)) continue;
        auto it = after.find(path);
        check(it != after.end(), "removed outside the target: " + path);
        check(it->second == attributes, "attributes changed outside the target: " + path);
    }
    for (const auto& entry : after) {
        check(!outside(entry.first) || before.count(entry.first) == 1,
              "created outside the target: " + entry.first);
    }
}

}  // namespace fuzz
