// A host that links against hidkeys' import library, as README describes, instead of binding the
// exports at run time: the calls resolve to the exports by name and ordinal, and work.
#include "e2e.h"
#include "hidkeys.h"

namespace {

FARPROC byOrdinal(HMODULE module, WORD ordinal) {
    return GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
}

void exportsBind() {
    // Loaded with the program, through its import table.
    HMODULE module = GetModuleHandleA("hidkeys.dll");
    if (!CHECK(module != NULL)) return;
    const struct {
        const char* name;
        WORD ordinal;
    } kExports[] = {{"BUK_Open", 2}, {"BUK_Close", 3}, {"BUK_Control", 4}};
    for (const auto& e : kExports) {
        void* named = reinterpret_cast<void*>(GetProcAddress(module, e.name));
        CHECK(named != NULL);
        CHECK(named == reinterpret_cast<void*>(byOrdinal(module, e.ordinal)));
    }
    CHECK(byOrdinal(module, 1) == NULL);
    CHECK(byOrdinal(module, 5) == NULL);

    HWND window = CreateWindowExA(0, "STATIC", "host", 0, 0, 0, 10, 10, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    CHECK_EQ(BUK_Open(window, WM_APP + 1, WM_APP + 2), 1);
    CHECK_EQ(BUK_Control(1, 0), 0);
    CHECK_EQ(BUK_Close(), 1);
    DestroyWindow(window);
}

}  // namespace

int main(int argc, char** argv) {
    return e2e::runCase(argc, argv, {{"exports_bind", exportsBind}});
}
