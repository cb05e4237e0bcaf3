// winsim control API: probes for benchmarks.
//
// Time stamps of two moments on the way of a key press: a read completing with a report, and a
// message being posted. And counts of the calls that walk registry keys and directories, so that
// a benchmark can tell how much enumeration a removal took. Recording is off until started; a
// record costs one append while the machine lock is held.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace winsim {

enum class ProbeEvent {
    ReadCompleted,  // a pending or immediate ReadFile completed with a report
    MessagePosted,  // a message was appended to a thread's posted queue
};

struct ProbeRecord {
    ProbeEvent event = ProbeEvent::ReadCompleted;
    int64_t nanoseconds = 0;  // std::chrono::steady_clock, since its epoch
    // ReadCompleted: the thread that issued the read; MessagePosted: the thread that posted.
    DWORD threadId = 0;
    // MessagePosted only.
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Clears the records and starts recording.
WINSIM_API void startProbes();
// Stops recording; returns the records in the order they were made.
WINSIM_API std::vector<ProbeRecord> stopProbes();

// Calls made since the last resetCallCounts (or since the start).
struct CallCounts {
    long regEnumKeyEx = 0;
    long regOpenKey = 0;    // RegOpenKeyExA and RegOpenKeyA
    long regDeleteKey = 0;  // RegDeleteKeyA, successful or not
    long findFile = 0;      // FindFirstFileA and FindNextFileA
};
WINSIM_API CallCounts callCounts();
WINSIM_API void resetCallCounts();

}  // namespace winsim
