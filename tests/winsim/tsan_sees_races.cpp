// Run under ThreadSanitizer: two threads touch the same variable with only winsim calls in
// between that the platform gives no ordering for. The machine's own lock must not hide the
// race, so ThreadSanitizer has to report it.
#include <windows.h>

#include <thread>

namespace {
int shared = 0;
}

int main() {
    HANDLE unrelated = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread writer([&] {
        shared = 1;
        ResetEvent(unrelated);  // takes the machine lock; orders nothing on the platform
    });
    Sleep(100);
    ResetEvent(unrelated);
    int seen = shared;
    writer.join();
    CloseHandle(unrelated);
    return seen == 1 ? 0 : 0;
}
