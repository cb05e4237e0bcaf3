// winsim control API: the simulated registry.
//
// Three roots, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT, start empty (the
// classes root is a root of its own, not a view of the other two). Key and value names compare
// without regard to letter case and keep the case they were created with; a key name has at
// most 255 characters. Subkeys are enumerated in the order of their upper-cased names.
//
// On the NT family every key carries a DACL (none at first, which grants everything), checked
// for the program's user (see winsim/security.h): opening asks for rights within what the DACL
// grants the user (plus READ_CONTROL and WRITE_DAC, an owner's rights, on the keys that the
// program itself created with RegCreateKeyExA; keys made here belong to the system), creating
// a subkey needs KEY_CREATE_SUB_KEY from the parent's DACL, deleting a key needs DELETE from its
// own, and RegSetKeySecurity needs a handle opened with WRITE_DAC. A
// key that the system keeps can't be deleted whatever its DACL (on the 98/Me family, neither can
// a subtree that holds one). On the 98/Me family there is no security, and RegSetKeySecurity
// fails with ERROR_CALL_NOT_IMPLEMENTED.
#pragma once

#include <windows.h>

#include "winsim/security.h"

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

using Bytes = std::vector<uint8_t>;

struct RegistryValue {
    DWORD type = REG_NONE;
    Bytes data;
};

// Empties the three roots, as the machine starts. Handles still open stay open on keys that
// are gone (ERROR_KEY_DELETED). Cheap enough to run before every iteration of a fuzz target.
WINSIM_API void resetRegistry();

// Paths below a root, "Software\Vendor"; missing keys on the way are created.
WINSIM_API void createKey(HKEY root, const std::string& path);
WINSIM_API bool keyExists(HKEY root, const std::string& path);
// Gives the key a DACL of one entry that grants `granted` to Everyone. The key must exist.
WINSIM_API void setKeyAccess(HKEY root, const std::string& path, ACCESS_MASK granted);
// Gives the key this DACL. The key must exist.
WINSIM_API void setKeyDacl(HKEY root, const std::string& path,
                           const std::vector<AccessEntry>& entries);

// A key's DACL as stored: the access list's bytes as written (AclSize of them), and its entries.
struct KeyDacl {
    bool present = false;  // false: no DACL, which grants everything
    Bytes bytes;
    std::vector<AccessEntry> entries;
};
// The DACL of an existing key.
WINSIM_API KeyDacl keyDacl(HKEY root, const std::string& path);
// The system keeps the key: RegDeleteKeyA on it fails with ERROR_ACCESS_DENIED.
WINSIM_API void setKeyKeptBySystem(HKEY root, const std::string& path, bool kept = true);

// Values; the name "" is the key's default value. The key is created when missing.
WINSIM_API void setValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                         const Bytes& data);
WINSIM_API void setDwordValue(HKEY root, const std::string& path, const std::string& name,
                              DWORD value);
// Stored with its terminating zero, as programs write strings.
WINSIM_API void setStringValue(HKEY root, const std::string& path, const std::string& name,
                               const std::string& text, DWORD type = REG_SZ);
// False when the key or the value does not exist.
WINSIM_API bool readValue(HKEY root, const std::string& path, const std::string& name,
                          RegistryValue* value);
// Names as created ("" for the default value), in upper-cased name order. Empty when the key
// does not exist.
WINSIM_API std::vector<std::string> valueNames(HKEY root, const std::string& path);
WINSIM_API std::vector<std::string> subkeyNames(HKEY root, const std::string& path);

}  // namespace winsim
