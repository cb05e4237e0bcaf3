// The registry: three roots, keys with case-insensitive names, values, handles limited by the
// rights they were opened with, and the two families' rules for deleting keys.
//
// NT family: each key carries a DACL, and the rights it grants the program's user are the key's
// set; a key that the program created through RegCreateKeyExA is the user's own, and its owner
// always has READ_CONTROL and WRITE_DAC besides, whatever the DACL says. Opening (or creating over
// an existing key) asks for rights within that set and the handle gets exactly what it asked for
// (MAXIMUM_ALLOWED: the whole set; generic rights mapped to key rights). Querying values needs
// KEY_QUERY_VALUE on the handle, setting and deleting values KEY_SET_VALUE, enumerating subkeys
// KEY_ENUMERATE_SUB_KEYS, replacing the DACL WRITE_DAC. Creating a subkey is checked against the
// parent key's DACL (KEY_CREATE_SUB_KEY), not against the handle it goes through; deleting a key
// against the key's own DACL (DELETE). RegDeleteKeyA refuses a key with subkeys, and a key that the
// system keeps (ERROR_ACCESS_DENIED).
//
// 98/Me family: no security; every handle may do everything; RegDeleteKeyA deletes the key
// with its whole subtree, unless the subtree holds a key that the system keeps;
// RegSetKeySecurity is not implemented.
//
// Subkeys are enumerated by their index in the key's current list, so deleting the subkey at
// an index moves the ones after it down by one, as on the platform.
//
// A deleted key stays alive for the handles open on it, which then fail with ERROR_KEY_DELETED
// (closing them still works).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "security_internal.h"
#include "system_internal.h"
#include "winsim/registry.h"

namespace winsim::detail {

namespace {

const size_t kMaxKeyName = 255;

struct ValueRecord {
    std::string name;
    DWORD type = REG_NONE;
    Bytes data;
};

struct KeyNode {
    std::string name;
    std::weak_ptr<KeyNode> parent;
    std::map<std::string, std::shared_ptr<KeyNode>> subkeys;  // by upper-cased name
    std::map<std::string, ValueRecord> values;                // by upper-cased name
    StoredDacl dacl;                                          // none: everything granted
    bool keptBySystem = false;
    bool ownedByProgram = false;  // created by RegCreateKeyExA: the user is its owner
    bool deleted = false;
};

struct OpenKey {
    std::shared_ptr<KeyNode> key;
    ACCESS_MASK access = 0;
};

struct Registry {
    std::shared_ptr<KeyNode> classesRoot = std::make_shared<KeyNode>();
    std::shared_ptr<KeyNode> currentUser = std::make_shared<KeyNode>();
    std::shared_ptr<KeyNode> localMachine = std::make_shared<KeyNode>();
    std::map<uintptr_t, OpenKey> handles;
};

Registry& registry() {
    static auto* instance = new Registry;
    return *instance;
}

const GenericMapping kKeyMapping = {KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};

bool securityApplies() {
    return currentFamily() == Family::Nt;
}

// What the key's DACL grants the program's user, with an owner's implied rights on the keys
// that the program created.
ACCESS_MASK keyRights(const KeyNode& key) {
    ACCESS_MASK owner = key.ownedByProgram ? READ_CONTROL | WRITE_DAC : 0;
    return userRights(key.dacl, kKeyMapping) | owner;
}

std::shared_ptr<KeyNode> rootKey(HKEY handle) {
    if (handle == HKEY_CLASSES_ROOT) return registry().classesRoot;
    if (handle == HKEY_CURRENT_USER) return registry().currentUser;
    if (handle == HKEY_LOCAL_MACHINE) return registry().localMachine;
    return nullptr;
}

// The key behind a handle; a predefined root acts as opened with every right it grants.
LONG openKeyOf(HKEY handle, OpenKey* open) {
    if (std::shared_ptr<KeyNode> root = rootKey(handle)) {
        *open = {root, keyRights(*root)};
        return ERROR_SUCCESS;
    }
    auto it = registry().handles.find(fromHandle(handle));
    if (it == registry().handles.end()) return ERROR_INVALID_HANDLE;
    if (it->second.key->deleted) return ERROR_KEY_DELETED;
    *open = it->second;
    return ERROR_SUCCESS;
}

bool handleMay(const OpenKey& open, ACCESS_MASK rights) {
    return !securityApplies() || (open.access & rights) == rights;
}

// The rights a handle gets when it asks for `desired` on `key`, or ERROR_ACCESS_DENIED.
LONG grant(const KeyNode& key, REGSAM desired, ACCESS_MASK* access) {
    ACCESS_MASK wanted = desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL |
                                     MAXIMUM_ALLOWED | SYNCHRONIZE);
    if (desired & GENERIC_READ) wanted |= KEY_READ;
    if (desired & GENERIC_WRITE) wanted |= KEY_WRITE;
    if (desired & GENERIC_EXECUTE) wanted |= KEY_EXECUTE;
    if (desired & GENERIC_ALL) wanted |= KEY_ALL_ACCESS;
    if (!securityApplies()) {
        *access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    ACCESS_MASK granted = keyRights(key);
    if (desired & MAXIMUM_ALLOWED) wanted |= granted;
    if ((wanted & ~granted) != 0 || wanted == 0) return ERROR_ACCESS_DENIED;
    *access = wanted;
    return ERROR_SUCCESS;
}

// "A\B\C" into its names; NULL and "" give none.
LONG splitKeyPath(LPCSTR path, std::vector<std::string>* names) {
    names->clear();
    if (path == nullptr || *path == '\0') return ERROR_SUCCESS;
    std::string text(path);
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos) end = text.size();
        if (end == start) return ERROR_BAD_PATHNAME;
        if (end - start > kMaxKeyName) return ERROR_INVALID_PARAMETER;
        names->push_back(text.substr(start, end - start));
        if (end == text.size()) return ERROR_SUCCESS;
        start = end + 1;
    }
}

std::shared_ptr<KeyNode> findKey(std::shared_ptr<KeyNode> key,
                                 const std::vector<std::string>& names) {
    for (const auto& name : names) {
        auto it = key->subkeys.find(toUpper(name));
        if (it == key->subkeys.end()) return nullptr;
        key = it->second;
    }
    return key;
}

std::shared_ptr<KeyNode> addSubkey(const std::shared_ptr<KeyNode>& parent,
                                   const std::string& name) {
    auto key = std::make_shared<KeyNode>();
    key->name = name;
    key->parent = parent;
    parent->subkeys[toUpper(name)] = key;
    return key;
}

bool holdsKeptKey(const KeyNode& key) {
    if (key.keptBySystem) return true;
    for (const auto& entry : key.subkeys) {
        if (holdsKeptKey(*entry.second)) return true;
    }
    return false;
}

void markDeleted(KeyNode& key) {
    key.deleted = true;
    for (auto& entry : key.subkeys)
        markDeleted(*entry.second);
}

HKEY newKeyHandle(const std::shared_ptr<KeyNode>& key, ACCESS_MASK access) {
    uintptr_t value = newHandleValue();
    registry().handles[value] = {key, access};
    return toHandle<HKEY>(value);
}

// The key behind `handle` and the names of the path `subKey` below it.
LONG keyAndPath(HKEY handle, LPCSTR subKey, OpenKey* base, std::vector<std::string>* names) {
    LONG status = openKeyOf(handle, base);
    return status == ERROR_SUCCESS ? splitKeyPath(subKey, names) : status;
}

// Opens `subKey` below `handle` for `desired`; the common part of the two open calls.
LONG openSubkey(HKEY handle, LPCSTR subKey, REGSAM desired, PHKEY result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    std::vector<std::string> names;
    LONG status = keyAndPath(handle, subKey, &base, &names);
    if (status != ERROR_SUCCESS) return status;
    std::shared_ptr<KeyNode> key = findKey(base.key, names);
    if (!key) return ERROR_FILE_NOT_FOUND;
    ACCESS_MASK access = 0;
    status = grant(*key, desired, &access);
    if (status != ERROR_SUCCESS) return status;
    *result = newKeyHandle(key, access);
    return ERROR_SUCCESS;
}

// ---- control API helpers -------------------------------------------------------------------

[[noreturn]] void badKey(const char* call, const std::string& path, const char* why) {
    fprintf(stderr, "winsim: %s(\"%s\"): %s\n", call, path.c_str(), why);
    abort();
}

std::vector<std::string> controlNames(HKEY root, const std::string& path, const char* call) {
    std::vector<std::string> names;
    if (!rootKey(root)) badKey(call, path, "not a predefined root");
    if (splitKeyPath(path.c_str(), &names) != ERROR_SUCCESS) badKey(call, path, "bad key path");
    return names;
}

std::shared_ptr<KeyNode> controlKey(HKEY root, const std::string& path, const char* call) {
    return findKey(rootKey(root), controlNames(root, path, call));
}

std::shared_ptr<KeyNode> controlCreate(HKEY root, const std::string& path, const char* call) {
    std::shared_ptr<KeyNode> key = rootKey(root);
    for (const auto& name : controlNames(root, path, call)) {
        auto it = key->subkeys.find(toUpper(name));
        key = it != key->subkeys.end() ? it->second : addSubkey(key, name);
    }
    return key;
}

}  // namespace

int countOpenKeys() {
    return static_cast<int>(registry().handles.size());
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired,
                             PHKEY phkResult) {
    MachineLock lock;
    ++callCountsLocked().regOpenKey;
    return openSubkey(hKey, lpSubKey, samDesired, phkResult);
}

// With no subkey, the handle passed in is handed back.
LSTATUS WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    MachineLock lock;
    ++callCountsLocked().regOpenKey;
    if (phkResult != nullptr && (lpSubKey == nullptr || *lpSubKey == '\0')) {
        OpenKey base;
        LONG status = openKeyOf(hKey, &base);
        if (status == ERROR_SUCCESS) *phkResult = hKey;
        return status;
    }
    return openSubkey(hKey, lpSubKey, MAXIMUM_ALLOWED, phkResult);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                               LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    MachineLock lock;
    if (lpSubKey == nullptr || phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    std::vector<std::string> names;
    LONG status = keyAndPath(hKey, lpSubKey, &base, &names);
    if (status != ERROR_SUCCESS) return status;
    std::shared_ptr<KeyNode> key = base.key;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    for (const auto& name : names) {
        auto it = key->subkeys.find(toUpper(name));
        if (it != key->subkeys.end()) {
            key = it->second;
            continue;
        }
        if (securityApplies() && (keyRights(*key) & KEY_CREATE_SUB_KEY) == 0) {
            return ERROR_ACCESS_DENIED;
        }
        key = addSubkey(key, name);
        key->ownedByProgram = true;
        disposition = REG_CREATED_NEW_KEY;
    }
    ACCESS_MASK access = 0;
    status = grant(*key, samDesired, &access);
    if (status != ERROR_SUCCESS) return status;
    *phkResult = newKeyHandle(key, access);
    if (lpdwDisposition != nullptr) *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    MachineLock lock;
    if (rootKey(hKey)) return ERROR_SUCCESS;
    return registry().handles.erase(fromHandle(hKey)) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
    MachineLock lock;
    OpenKey open;
    LONG status = openKeyOf(hKey, &open);
    if (status != ERROR_SUCCESS) return status;
    if (!handleMay(open, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (lpData == nullptr && cbData != 0) return ERROR_INVALID_PARAMETER;
    ValueRecord value;
    value.name = lpValueName == nullptr ? "" : lpValueName;
    value.type = dwType;
    if (cbData != 0) value.data.assign(lpData, lpData + cbData);
    open.key->values[toUpper(value.name)] = value;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    MachineLock lock;
    OpenKey open;
    LONG status = openKeyOf(hKey, &open);
    if (status != ERROR_SUCCESS) return status;
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!handleMay(open, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto it = open.key->values.find(toUpper(lpValueName == nullptr ? "" : lpValueName));
    if (it == open.key->values.end()) return ERROR_FILE_NOT_FOUND;
    const ValueRecord& value = it->second;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (lpType != nullptr) *lpType = value.type;
    if (lpData != nullptr && *lpcbData < size) status = ERROR_MORE_DATA;
    if (lpData != nullptr && status == ERROR_SUCCESS && size != 0) {
        memcpy(lpData, value.data.data(), size);
    }
    if (lpcbData != nullptr) *lpcbData = size;
    return status;
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    MachineLock lock;
    OpenKey open;
    LONG status = openKeyOf(hKey, &open);
    if (status != ERROR_SUCCESS) return status;
    if (!handleMay(open, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    size_t erased = open.key->values.erase(toUpper(lpValueName == nullptr ? "" : lpValueName));
    return erased == 1 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// The key named by `lpSubKey` below `hKey` ("" for the key of `hKey` itself).
LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    MachineLock lock;
    ++callCountsLocked().regDeleteKey;
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    std::vector<std::string> names;
    LONG status = keyAndPath(hKey, lpSubKey, &base, &names);
    if (status != ERROR_SUCCESS) return status;
    std::shared_ptr<KeyNode> key = findKey(base.key, names);
    if (!key) return ERROR_FILE_NOT_FOUND;
    std::shared_ptr<KeyNode> parent = key->parent.lock();
    if (!parent) return ERROR_ACCESS_DENIED;  // a root
    if (securityApplies()) {
        if ((keyRights(*key) & DELETE) == 0 || !key->subkeys.empty() || key->keptBySystem) {
            return ERROR_ACCESS_DENIED;
        }
    } else if (holdsKeptKey(*key)) {
        return ERROR_ACCESS_DENIED;
    }
    parent->subkeys.erase(toUpper(key->name));
    markDeleted(*key);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                             LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                             PFILETIME lpftLastWriteTime) {
    MachineLock lock;
    ++callCountsLocked().regEnumKeyEx;
    OpenKey open;
    LONG status = openKeyOf(hKey, &open);
    if (status != ERROR_SUCCESS) return status;
    if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!handleMay(open, KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    if (dwIndex >= open.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = open.key->subkeys.begin();
    std::advance(it, dwIndex);
    const std::string& name = it->second->name;
    if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
    memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) {
        lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime != nullptr) *lpftLastWriteTime = {0x5A1C0000u, 0x01C3A5F0u};
    return ERROR_SUCCESS;
}

// Only the DACL is stored; the other parts of a descriptor are passed by.
LSTATUS WINAPI RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                 PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    MachineLock lock;
    if (!securityApplies()) return ERROR_CALL_NOT_IMPLEMENTED;
    OpenKey open;
    LONG status = openKeyOf(hKey, &open);
    if (status != ERROR_SUCCESS) return status;
    if ((SecurityInformation & DACL_SECURITY_INFORMATION) == 0) return ERROR_SUCCESS;
    if (!handleMay(open, WRITE_DAC)) return ERROR_ACCESS_DENIED;
    StoredDacl dacl;
    DWORD error = 0;
    if (!descriptorDacl(pSecurityDescriptor, &dacl, &error)) return static_cast<LONG>(error);
    open.key->dacl = dacl;
    return ERROR_SUCCESS;
}

}  // extern "C"

namespace winsim {

void resetRegistry() {
    detail::MachineLock lock;
    detail::Registry& current = detail::registry();
    for (auto* root : {&current.classesRoot, &current.currentUser, &current.localMachine}) {
        for (auto& entry : (*root)->subkeys)
            detail::markDeleted(*entry.second);
        *root = std::make_shared<detail::KeyNode>();
    }
}

void createKey(HKEY root, const std::string& path) {
    detail::MachineLock lock;
    controlCreate(root, path, "createKey");
}

bool keyExists(HKEY root, const std::string& path) {
    detail::MachineLock lock;
    return controlKey(root, path, "keyExists") != nullptr;
}

static std::shared_ptr<KeyNode> existingKey(HKEY root, const std::string& path, const char* call) {
    std::shared_ptr<KeyNode> key = controlKey(root, path, call);
    if (!key) badKey(call, path, "no such key");
    return key;
}

void setKeyAccess(HKEY root, const std::string& path, ACCESS_MASK granted) {
    setKeyDacl(root, path, {{kEveryone, granted}});
}

void setKeyDacl(HKEY root, const std::string& path, const std::vector<AccessEntry>& entries) {
    detail::MachineLock lock;
    existingKey(root, path, "setKeyDacl")->dacl = detail::daclFromEntries(entries);
}

KeyDacl keyDacl(HKEY root, const std::string& path) {
    detail::MachineLock lock;
    const detail::StoredDacl& dacl = existingKey(root, path, "keyDacl")->dacl;
    return {dacl.present, dacl.bytes, detail::daclEntries(dacl)};
}

void setKeyKeptBySystem(HKEY root, const std::string& path, bool kept) {
    detail::MachineLock lock;
    existingKey(root, path, "setKeyKeptBySystem")->keptBySystem = kept;
}

void setValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const Bytes& data) {
    detail::MachineLock lock;
    std::shared_ptr<KeyNode> key = controlCreate(root, path, "setValue");
    key->values[detail::toUpper(name)] = {name, type, data};
}

void setDwordValue(HKEY root, const std::string& path, const std::string& name, DWORD value) {
    Bytes data(sizeof value);
    memcpy(data.data(), &value, sizeof value);
    setValue(root, path, name, REG_DWORD, data);
}

void setStringValue(HKEY root, const std::string& path, const std::string& name,
                    const std::string& text, DWORD type) {
    setValue(root, path, name, type, Bytes(text.c_str(), text.c_str() + text.size() + 1));
}

bool readValue(HKEY root, const std::string& path, const std::string& name, RegistryValue* value) {
    detail::MachineLock lock;
    std::shared_ptr<KeyNode> key = controlKey(root, path, "readValue");
    if (!key) return false;
    auto it = key->values.find(detail::toUpper(name));
    if (it == key->values.end()) return false;
    *value = {it->second.type, it->second.data};
    return true;
}

std::vector<std::string> valueNames(HKEY root, const std::string& path) {
    detail::MachineLock lock;
    std::vector<std::string> names;
    if (std::shared_ptr<KeyNode> key = controlKey(root, path, "valueNames")) {
        for (const auto& entry : key->values)
            names.push_back(entry.second.name);
    }
    return names;
}

std::vector<std::string> subkeyNames(HKEY root, const std::string& path) {
    detail::MachineLock lock;
    std::vector<std::string> names;
    if (std::shared_ptr<KeyNode> key = controlKey(root, path, "subkeyNames")) {
        for (const auto& entry : key->subkeys)
            names.push_back(entry.second->name);
    }
    return names;
}

}  // namespace winsim
