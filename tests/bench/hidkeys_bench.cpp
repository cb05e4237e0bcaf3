// Benchmarks of the key-device library on winsim: key latency, the readers' sustained rate, open
// and close, idle processor time and memory per device. Not a test: it prints figures, and
// docs/performance.md compares them with their targets.
//
// The library is loaded as a host loads it and talks to a host window on a thread of its own.
// Every benchmark attaches its devices, runs a fixed number of iterations and detaches them
// again, so that the next one starts from a machine without devices.
#include <windows.h>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "library_host.h"
#include "library_state.h"
#include "message_log.h"
#include "winsim/hid.h"
#include "winsim/machine.h"
#include "winsim/probes.h"

namespace {

// The extra-key collections of `count` keyboards.
struct Devices {
    explicit Devices(int count) {
        for (int i = 0; i < count; ++i)
            ids.push_back(winsim::attachHid(host::extraKeyCollection()));
    }
    ~Devices() {
        for (winsim::DeviceId id : ids)
            winsim::detachHid(id);
    }
    // Waits until every device has a read pending: every reader is idle in its wait.
    bool allReading() const {
        return support::waitUntil([&] {
            for (winsim::DeviceId id : ids) {
                if (winsim::hidStats(id).pendingReads != 1) return false;
            }
            return true;
        });
    }
    std::vector<winsim::DeviceId> ids;
};

// The library open for a host window on a thread of its own, with `count` devices whose readers
// are all in their reads; closed again at the end.
struct OpenLibrary {
    OpenLibrary(benchmark::State& state, int count) : devices(count) {
        library.open(host.hwnd());
        if (!devices.allReading()) state.SkipWithError("the readers did not start");
    }
    ~OpenLibrary() { library.close(); }
    host::Host host;
    host::Library library;
    Devices devices;
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

double secondsNow(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// For each key message posted, the time since the report it carries completed the read of the
// posting reader, in microseconds.
std::vector<double> keyLatencies(const std::vector<winsim::ProbeRecord>& records) {
    std::map<DWORD, int64_t> lastCompletion;  // by reader thread
    std::vector<double> latencies;
    for (const winsim::ProbeRecord& record : records) {
        if (record.event == winsim::ProbeEvent::ReadCompleted) {
            lastCompletion[record.threadId] = record.nanoseconds;
        } else if (record.message == host::KeyMessage) {
            auto completion = lastCompletion.find(record.threadId);
            if (completion == lastCompletion.end()) continue;
            latencies.push_back(static_cast<double>(record.nanoseconds - completion->second) / 1e3);
            lastCompletion.erase(completion);
        }
    }
    return latencies;
}

// Runs a benchmark with one device and with sixteen.
void oneAndSixteenDevices(benchmark::internal::Benchmark* registered) {
    registered->ArgName("devices")->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);
}

// Each iteration: every reader has its read pending; one press report is pushed to every device
// at once (one after the other, as fast as the machine takes them); the iteration ends when each
// reader has posted its key message and is back in its next read.
void KeyLatency(benchmark::State& state) {
    OpenLibrary open(state, static_cast<int>(state.range(0)));

    size_t expected = 0;
    winsim::startProbes();
    for (auto _ : state) {
        for (winsim::DeviceId id : open.devices.ids)
            host::pushKey(id, 0x01);
        expected += open.devices.ids.size();
        if (!open.host.waitForKeys(expected) || !open.devices.allReading()) {
            state.SkipWithError("a key message did not arrive");
            break;
        }
    }
    std::vector<double> latencies = keyLatencies(winsim::stopProbes());
    state.counters["messages"] = static_cast<double>(latencies.size());
    state.counters["p50_us"] = percentile(latencies, 0.50);
    state.counters["p99_us"] = percentile(latencies, 0.99);
    state.counters["max_us"] = percentile(latencies, 1.0);
}
BENCHMARK(KeyLatency)->Apply(oneAndSixteenDevices)->Iterations(500);

// Every device always has reports queued (the queue is topped up every 20 ms, faster than any
// reader takes them), so each reader goes at its own pace; the rate counts the key messages that
// each reader posted over the measured time.
void SustainedRate(benchmark::State& state) {
    OpenLibrary open(state, static_cast<int>(state.range(0)));

    auto topUp = [&](int reports) {
        for (winsim::DeviceId id : open.devices.ids) {
            for (int i = 0; i < reports; ++i)
                host::pushKey(id, 0x02);
        }
    };
    topUp(32);
    Sleep(100);  // the readers settle into their pace
    std::vector<double> rates;
    for (auto _ : state) {
        winsim::startProbes();
        double start = secondsNow(CLOCK_MONOTONIC);
        while (secondsNow(CLOCK_MONOTONIC) - start < 1.0) {
            topUp(4);
            Sleep(20);
        }
        std::vector<winsim::ProbeRecord> records = winsim::stopProbes();
        double elapsed = secondsNow(CLOCK_MONOTONIC) - start;
        std::map<DWORD, int> posted;
        for (const winsim::ProbeRecord& record : records) {
            if (record.event == winsim::ProbeEvent::MessagePosted &&
                record.message == host::KeyMessage)
                ++posted[record.threadId];
        }
        for (const auto& reader : posted)
            rates.push_back(reader.second / elapsed);
    }
    state.counters["readers"] = static_cast<double>(rates.size()) / state.iterations();
    state.counters["min_per_s"] = percentile(rates, 0.0);
    state.counters["median_per_s"] = percentile(rates, 0.5);
}
BENCHMARK(SustainedRate)->Apply(oneAndSixteenDevices)->Iterations(3);

// BUK_Open (the walk, the arrival notices, the readers started) and BUK_Close (the removal
// notices, the readers stopped, the notification thread ended), each timed on the host's side.
void OpenClose(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    host::Host host;
    host::Library library;
    Devices devices(count);
    std::vector<double> opens, closes;
    for (auto _ : state) {
        double start = secondsNow(CLOCK_MONOTONIC);
        int next = library.open(host.hwnd());
        double opened = secondsNow(CLOCK_MONOTONIC);
        if (next != count + 1) state.SkipWithError("BUK_Open did not find every device");
        state.PauseTiming();
        devices.allReading();  // the readers are in their reads, as a host's devices are
        state.ResumeTiming();
        double closing = secondsNow(CLOCK_MONOTONIC);
        library.close();
        double closed = secondsNow(CLOCK_MONOTONIC);
        opens.push_back((opened - start) * 1e3);
        closes.push_back((closed - closing) * 1e3);
    }
    state.counters["open_ms"] = percentile(opens, 0.5);
    state.counters["close_ms"] = percentile(closes, 0.5);
    state.counters["close_max_ms"] = percentile(closes, 1.0);
    state.counters["cycle_ms"] = percentile(opens, 0.5) + percentile(closes, 0.5);
}
BENCHMARK(OpenClose)->ArgName("devices")->Arg(0)->Arg(1)->Arg(16)->Iterations(50)->Unit(
    benchmark::kMillisecond);

// The processor time of the whole process over one idle second with the library open.
void IdleProcessorTime(benchmark::State& state) {
    OpenLibrary open(state, static_cast<int>(state.range(0)));
    std::vector<double> used;
    for (auto _ : state) {
        double start = secondsNow(CLOCK_PROCESS_CPUTIME_ID);
        Sleep(1000);
        used.push_back((secondsNow(CLOCK_PROCESS_CPUTIME_ID) - start) * 1e3);
    }
    state.counters["cpu_ms_per_s"] = percentile(used, 0.5);
    state.counters["cpu_max_ms_per_s"] = percentile(used, 1.0);
}
BENCHMARK(IdleProcessorTime)
    ->ArgName("devices")
    ->Arg(16)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

long statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, std::strlen(field), field) == 0)
            return std::stol(line.substr(std::strlen(field) + 1));
    }
    return 0;
}

struct Footprint {
    double heapBytes;  // malloc's bytes in use, every arena
    double residentKb;
    double virtualKb;
};

Footprint footprintWithOpenLibrary(host::Library& library, HWND window, int count) {
    Devices devices(count);
    library.open(window);
    devices.allReading();
    Footprint f{static_cast<double>(mallinfo2().uordblks),
                static_cast<double>(statusKilobytes("VmRSS:")),
                static_cast<double>(statusKilobytes("VmSize:"))};
    library.close();
    return f;
}

// The growth of the process from the library open with no device to the library open with 16
// idle devices, per device. The heap figure holds the library's blocks and winsim's records of
// what the library holds (handle, preparsed data, thread, events, notification, pending read).
void MemoryPerDevice(benchmark::State& state) {
    const int count = 16;
    host::Host host;
    host::Library library;
    footprintWithOpenLibrary(library, host.hwnd(), count);  // warms up the arenas and the stacks
    Footprint none{}, many{};
    for (auto _ : state) {
        none = footprintWithOpenLibrary(library, host.hwnd(), 0);
        many = footprintWithOpenLibrary(library, host.hwnd(), count);
    }
    // The library's own blocks: the entry with its interface path, the two report buffers.
    Devices one(1);
    winsim::HidCollection c = host::extraKeyCollection();
    size_t path = winsim::interfacePath(one.ids[0]).size();
    state.counters["library_bytes"] = static_cast<double>(
        sizeof(DeviceEntry) + path + c.inputReportLength + c.outputReportLength);
    state.counters["heap_bytes"] = (many.heapBytes - none.heapBytes) / count;
    state.counters["rss_kb"] = (many.residentKb - none.residentKb) / count;
    state.counters["virtual_kb"] = (many.virtualKb - none.virtualKb) / count;
}
BENCHMARK(MemoryPerDevice)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
