// The product's registry entries, removed in a fixed order.
#include <windows.h>

#include "uninstall.h"

namespace {

enum Removal {
    kSubtree,       // the key with everything below it
    kSubtreeTwice,  // the same, once more
    kKey,           // the key alone; on the NT family it stays while it has subkeys
    kValue,         // one value of the key
};

struct RegistryEntry {
    HKEY root;
    const char* path;
    Removal removal;
    const char* valueName;  // kValue only
};

const char kShellExtensionId[] = "{51550900-DCAC-11d4-AA0F-0080C87C465D}";

// The filter service; the keyboard's device nodes of the NT family, then of the 98/Me family
// (both removed on every system); the start-up entry; the shell extension; the product, then
// the company key once nothing else is left in it.
const RegistryEntry kEntries[] = {
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\UsbFltr", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\HID\\VID_03F0&PID_0122&MI_00", kSubtree,
     NULL},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\HID\\VID_03F0&PID_0122&Mi_01&Col01",
     kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\HID\\VID_03F0&PID_0122&Mi_01&Col02",
     kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\HID\\VID_03F0&PID_0122&Mi_01&Col03",
     kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_03F0&PID_0122&Mi_00", kSubtree,
     NULL},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_03F0&PID_0122&Mi_01", kSubtree,
     NULL},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_03F0&PID_0122", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "Enum\\HID\\VID_03F0&PID_0122&MI_00", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "Enum\\HID\\VID_03F0&PID_0122&MI_01", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "Enum\\HID\\VID_03F0&PID_0122&MI_01&Col01", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "Enum\\HID\\VID_03F0&PID_0122&MI_01&Col02", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "Enum\\HID\\VID_03F0&PID_0122&MI_01&Col03", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "Enum\\HID\\VID_03F0&PID_0122", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_03F0&PID_0122&MI_00", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_03F0&PID_0122&MI_01", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_03F0&PID_0122", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", kValue, "Tamboro"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
     kValue, kShellExtensionId},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamboro", kKey,
     NULL},
    {HKEY_CLASSES_ROOT, "CLSID\\{51550900-DCAC-11d4-AA0F-0080C87C465D}", kSubtree, NULL},
    {HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Keyboard\\shellex\\"
     "PropertySheetHandlers\\Brenmor Keyboard",
     kSubtree, NULL},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Brenmor\\Tamboro", kSubtreeTwice, NULL},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Brenmor", kKey, NULL},
    {HKEY_CURRENT_USER, "SOFTWARE\\Brenmor\\Tamboro", kSubtree, NULL},
    {HKEY_CURRENT_USER, "SOFTWARE\\Brenmor", kKey, NULL},
};

// A value is deleted through a handle with full access; a key that does not open keeps it.
void DeleteValue(HKEY root, const char* path, const char* valueName) {
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, valueName);
    RegCloseKey(key);
}

}  // namespace

// Every failure is quiet and the next entry follows.
void RemoveRegistryEntries(void) {
    for (const RegistryEntry& entry : kEntries) {
        switch (entry.removal) {
            case kSubtreeTwice:
                RemoveKeyTree(entry.path, entry.root);
                RemoveKeyTree(entry.path, entry.root);
                break;
            case kSubtree:
                RemoveKeyTree(entry.path, entry.root);
                break;
            case kKey:
                RegDeleteKeyA(entry.root, entry.path);
                break;
            case kValue:
                DeleteValue(entry.root, entry.path, entry.valueName);
                break;
        }
    }
}
