// Probes for benchmarks: time stamps of read completions and posted messages, and call counts.
#include "core.h"
#include "winsim/probes.h"

namespace winsim::detail {

namespace {

struct ProbeState {
    bool recording = false;
    std::vector<ProbeRecord> records;
    CallCounts calls;
};

ProbeState& probes() {
    static auto* instance = new ProbeState;
    return *instance;
}

int64_t now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void probeReadCompleted(DWORD issuer) {
    if (!probes().recording) return;
    ProbeRecord record;
    record.event = ProbeEvent::ReadCompleted;
    record.nanoseconds = now();
    record.threadId = issuer;
    probes().records.push_back(record);
}

void probeMessagePosted(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!probes().recording) return;
    ProbeRecord record;
    record.event = ProbeEvent::MessagePosted;
    record.nanoseconds = now();
    record.threadId = currentThread()->id;
    record.message = message;
    record.wParam = wParam;
    record.lParam = lParam;
    probes().records.push_back(record);
}

CallCounts& callCountsLocked() {
    return probes().calls;
}

}  // namespace winsim::detail

namespace winsim {

void startProbes() {
    detail::MachineLock lock;
    detail::probes().records.clear();
    detail::probes().recording = true;
}

std::vector<ProbeRecord> stopProbes() {
    detail::MachineLock lock;
    detail::probes().recording = false;
    std::vector<ProbeRecord> records;
    records.swap(detail::probes().records);
    return records;
}

CallCounts callCounts() {
    detail::MachineLock lock;
    return detail::probes().calls;
}

void resetCallCounts() {
    detail::MachineLock lock;
    detail::probes().calls = CallCounts{};
}

}  // namespace winsim
