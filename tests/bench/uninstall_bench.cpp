// Benchmarks of the uninstaller's two recursive removers on winsim: the registry subtree removed
// by repeated passes beside one post-order deletion of the same tree, and a directory tree.
//
// Both trees are complete 10-ary trees of N entries below their root: entry i (from 1) hangs
// below entry (i - 1) / 10, entry 0 being the root. In the directory tree the entries with
// children are directories and the others files.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "uninstall.h"
#include "winsim/files.h"
#include "winsim/probes.h"
#include "winsim/registry.h"

namespace {

const char kKeyRoot[] = "Software\\BenchTree";
const char kDirectoryRoot[] = "C:\\BenchTree";

// The paths of the N entries below `root`, parents before children.
std::vector<std::string> treePaths(const std::string& root, int count) {
    std::vector<std::string> paths(static_cast<size_t>(count) + 1);
    paths[0] = root;
    for (int i = 1; i <= count; ++i)
        paths[static_cast<size_t>(i)] =
            paths[static_cast<size_t>((i - 1) / 10)] + "\\e" + std::to_string(i);
    return paths;
}

void buildKeyTree(int count) {
    for (const std::string& path : treePaths(kKeyRoot, count))
        winsim::createKey(HKEY_LOCAL_MACHINE, path);
}

void buildDirectoryTree(int count) {
    std::vector<std::string> paths = treePaths(kDirectoryRoot, count);
    for (int i = 0; i <= count; ++i) {
        bool hasChildren = 10 * i + 1 <= count;
        if (hasChildren) {
            winsim::createDirectory(paths[static_cast<size_t>(i)]);
        } else {
            winsim::createFile(paths[static_cast<size_t>(i)]);
        }
    }
}

// Per iteration: `build` makes the tree afresh (not timed), `remove` removes it and returns the
// passes it took. Returns the calls of all removals, added up; `left` tells a failed removal.
template <typename Build, typename Remove>
winsim::CallCounts timedRemovals(benchmark::State& state, Build build, Remove remove,
                                 bool (*left)()) {
    winsim::CallCounts calls;
    int passes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        build();
        winsim::resetCallCounts();
        state.ResumeTiming();
        passes += remove();
        state.PauseTiming();
        winsim::CallCounts run = winsim::callCounts();
        calls.regEnumKeyEx += run.regEnumKeyEx;
        calls.regOpenKey += run.regOpenKey;
        calls.regDeleteKey += run.regDeleteKey;
        calls.findFile += run.findFile;
        if (left()) state.SkipWithError("the tree was not removed");
        state.ResumeTiming();
    }
    state.counters["passes"] = static_cast<double>(passes) / state.iterations();
    return calls;
}

bool keyTreeLeft() {
    return winsim::keyExists(HKEY_LOCAL_MACHINE, kKeyRoot);
}

void countKeyCalls(benchmark::State& state, const winsim::CallCounts& calls) {
    double runs = static_cast<double>(state.iterations());
    state.counters["RegEnumKeyEx"] = static_cast<double>(calls.regEnumKeyEx) / runs;
    state.counters["RegOpenKey"] = static_cast<double>(calls.regOpenKey) / runs;
    state.counters["RegDeleteKey"] = static_cast<double>(calls.regDeleteKey) / runs;
}

// The uninstaller's repetition: passes until one finds no subkey or deletes nothing, as
// RemoveKeyTree runs them, counted here.
void KeyTreeByPasses(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    auto passes = [] {
        int taken = 0;
        int removed, found;
        do {
            removed = 0;
            found = RemoveKeyTreePass(kKeyRoot, HKEY_LOCAL_MACHINE, &removed);
            ++taken;
        } while (found && removed > 0);
        return taken;
    };
    countKeyCalls(state, timedRemovals(
                             state, [&] { buildKeyTree(count); }, passes, keyTreeLeft));
}
BENCHMARK(KeyTreeByPasses)
    ->ArgName("keys")
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The same tree removed in one post-order walk: each key is given the same access grant, its
// first subkey is removed until there is none, then the key itself.
void RemoveKeyPostOrder(const std::string& path) {
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        GrantAdministratorsFullAccess(key);
        RegCloseKey(key);
    }
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[MAX_PATH];
        for (;;) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            RemoveKeyPostOrder(path + "\\" + name);
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

void KeyTreePostOrder(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    auto postOrder = [] {
        RemoveKeyPostOrder(kKeyRoot);
        return 1;
    };
    countKeyCalls(state, timedRemovals(
                             state, [&] { buildKeyTree(count); }, postOrder, keyTreeLeft));
}
BENCHMARK(KeyTreePostOrder)
    ->ArgName("keys")
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

bool directoryTreeLeft() {
    return winsim::pathExists(kDirectoryRoot);
}

void DirectoryTree(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    auto remove = [] {
        RemoveDirectoryTree(kDirectoryRoot);
        return 1;
    };
    winsim::CallCounts calls = timedRemovals(
        state, [&] { buildDirectoryTree(count); }, remove, directoryTreeLeft);
    state.counters["FindFile"] = static_cast<double>(calls.findFile) / state.iterations();
}
BENCHMARK(DirectoryTree)
    ->ArgName("entries")
    ->Arg(10000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
