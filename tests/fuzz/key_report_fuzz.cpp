// Input reports of any length and content through a reader's decoding, in the library loaded
// and opened as a host does it. Each report sits in a block of exactly its length, so reading
// past it is an AddressSanitizer report. The key messages that come out must be exactly those
// of the key table: a press for a report 2 or 3 whose key byte, widened with its sign, is one of
// the six codes; a release, with the last press's number, for key byte 0 after a press.
//
// Input: repeated [length byte][that many report bytes]; a report cut short by the input's end
// is as long as what is left.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "hidkeys.h"

namespace {

const UINT kKeyMessage = WM_APP + 1;
const UINT kNoticeMessage = WM_APP + 2;

// The extra keys' codes, as the keyboard's documentation lists them: position + 1 is the key.
const WORD kKeyCodes[6] = {0x0001, 0x0002, 0x0003, 0xFFE2, 0x0004, 0x0005};

typedef int(BUK_CALL* OpenProc)(HWND, UINT, UINT);
typedef void (*DecodeProc)(const BYTE*, DWORD);

struct KeyMessage {
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const KeyMessage& other) const {
        return wParam == other.wParam && lParam == other.lParam;
    }
};

HWND hostWindow = nullptr;
DecodeProc decode = nullptr;

template <typename Proc>
Proc procAddress(HMODULE module, const char* name) {
    Proc proc = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    fuzz::check(proc != nullptr, std::string("no export ") + name);
    return proc;
}

// The host: a window on the fuzzing thread, given to BUK_Open with no keyboard attached.
void openLibrary() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "FuzzHost";
    RegisterClassA(&windowClass);
    hostWindow =
        CreateWindowExA(0, "FuzzHost", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    fuzz::check(hostWindow != nullptr, "no host window");
    HMODULE module = LoadLibraryA(HIDKEYS_LIBRARY);
    fuzz::check(module != nullptr, "the library does not load");
    OpenProc open = procAddress<OpenProc>(module, "BUK_Open");
    decode = procAddress<DecodeProc>(module, "hidkeysDecodeKeyReport");
    fuzz::check(open(hostWindow, kKeyMessage, kNoticeMessage) != 0, "BUK_Open failed");
}

// The key messages posted since the last call; everything else is handled as usual.
std::vector<KeyMessage> takeKeyMessages() {
    std::vector<KeyMessage> messages;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.hwnd == hostWindow && message.message == kKeyMessage) {
            messages.push_back({message.wParam, message.lParam});
        } else {
            DispatchMessageA(&message);
        }
    }
    return messages;
}

// What the library must post for `report`; `lastPress` is the press still outstanding.
std::vector<KeyMessage> expectedMessages(const BYTE* report, size_t length, WPARAM* lastPress) {
    if (length < 2 || (report[0] != 2 && report[0] != 3)) return {};
    WORD code = static_cast<WORD>(static_cast<int16_t>(static_cast<int8_t>(report[1])));
    for (int i = 0; i < 6; ++i) {
        if (kKeyCodes[i] == code) {
            *lastPress = static_cast<WPARAM>((i + 1) * 0x100);
            return {{*lastPress, 0}};
        }
    }
    if (report[1] != 0 || *lastPress == 0) return {};
    WPARAM released = *lastPress;
    *lastPress = 0;
    return {{released, KeyReleasedFlag}};
}

std::string describe(const std::vector<KeyMessage>& messages) {
    std::string text;
    for (const auto& message : messages) {
        char item[48];
        snprintf(item, sizeof item, " (%#lx, %#lx)", static_cast<unsigned long>(message.wParam),
                 static_cast<unsigned long>(message.lParam));
        text += item;
    }
    return text.empty() ? " none" : text;
}

// Hands one report to the decoding in a block of exactly its length.
void decodeReport(const BYTE* bytes, size_t length) {
    BYTE* report = static_cast<BYTE*>(malloc(length));
    if (length != 0) memcpy(report, bytes, length);
    decode(report, static_cast<DWORD>(length));
    free(report);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool opened = (openLibrary(), true);
    (void)opened;
    // A release clears whatever press the last run left outstanding.
    const BYTE release[2] = {2, 0};
    decodeReport(release, sizeof release);
    takeKeyMessages();

    WPARAM lastPress = 0;
    size_t at = 0;
    while (at < size) {
        size_t length = data[at++];
        if (length > size - at) length = size - at;
        const BYTE* report = data + at;
        at += length;
        decodeReport(report, length);
        std::vector<KeyMessage> expected = expectedMessages(report, length, &lastPress);
        std::vector<KeyMessage> posted = takeKeyMessages();
        if (posted != expected) {
            fuzz::fail("report of " + std::to_string(length) + " bytes: posted" + describe(posted) +
                       ", expected" + describe(expected));
        }
    }
    return 0;
}
