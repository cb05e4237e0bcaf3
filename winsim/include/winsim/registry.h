// winsim control API: the simulated registry.
//
// Three roots, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT, start empty (the
// classes root is a root of its own, not a view of the other two). Key and value names compare
// without regard to letter case and keep the case they were created with; a key name has at
// most 255 characters. Subkeys are enumerated in the order of their upper-cased names.
//
// On the NT family every key carries the rights its security grants to anyone
// (KEY_ALL_ACCESS unless a test sets less): opening asks for rights within that set, creating a
// subkey needs KEY_CREATE_SUB_KEY in the parent's set, deleting a key needs DELETE in its own.
// On the 98/Me family there is no security.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

using Bytes = std::vector<uint8_t>;

struct RegistryValue {
    DWORD type = REG_NONE;
    Bytes data;
};

// Paths below a root, "Software\Vendor"; missing keys on the way are created.
WINSIM_API void createKey(HKEY root, const std::string& path);
WINSIM_API bool keyExists(HKEY root, const std::string& path);
// The rights the key's security grants (NT family). The key must exist.
WINSIM_API void setKeyAccess(HKEY root, const std::string& path, ACCESS_MASK granted);

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
