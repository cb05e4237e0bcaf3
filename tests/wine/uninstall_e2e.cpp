// uninstall.exe on a machine that holds every file, directory and registry entry of the product,
// the shell extension's server in a directory of its own, canaries beside each, and the running
// host application. The test answers the confirmation box as a user would.
#include <cstdio>
#include <cstring>
#include <string>

#include "e2e.h"

namespace {

const char kHostClass[] = "Afx:400000:0";
const char kHostTitle[] = "Brenmor Tamboro";
const char kBoxCaption[] = "Sorvanta Uninstaller";
const char kBoxText[] = "O.K. to uninstall Sorvanta for Windows";
const char kClassId[] = "{51550900-DCAC-11d4-AA0F-0080C87C465D}";
const char kServerDirectory[] = "C:\\e2e\\shellext\\server";

std::string windowsDirectory() {
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    return std::string(path, length);
}

struct Key {
    HKEY root;
    std::string path;
};
struct Value {
    HKEY root;
    std::string path;
    std::string name;
};

// What the uninstaller removes, and what it must leave.
struct Machine {
    std::vector<std::string> files, directories;
    std::vector<Key> keys;
    std::vector<Value> values;
    std::vector<std::string> keptFiles;
    std::vector<Key> keptKeys;
    std::vector<Value> keptValues;
};

Machine describe() {
    Machine m;
    const std::string windows = windowsDirectory();
    for (const char* inf :
         {"\\INF\\Oem0.inf", "\\INF\\Oem0.pnf", "\\INF\\Internet\\TessalinewinME.inf",
          "\\INF\\Other\\TessalinewinME.inf", "\\INF\\Other\\Tessalinewin98.inf",
          "\\INF\\Other\\Tessalineusbkbhid.inf", "\\INF\\Other\\Tessalineusbkbhub.inf",
          "\\INF\\Internet\\Tessalineusbkbhid.inf", "\\INF\\Internet\\Tessalineusbkbhub.inf"})
        m.files.push_back(windows + inf);
    for (const char* canary :
         {"\\INF\\Oem1.inf", "\\INF\\Internet\\Other.inf", "\\INF\\Other\\Tessalinewin2000.inf",
          "\\System\\USB_KBD.txt", "\\System32\\USB_KBD2\\keep.sys"})
        m.keptFiles.push_back(windows + canary);
    m.directories = {windows + "\\System\\USB_KBD", windows + "\\System32\\USB_KBD",
                     kServerDirectory};
    m.keptFiles.push_back("C:\\e2e\\shellext\\canary.txt");
    m.keptFiles.push_back("C:\\e2e\\shellext\\server2\\canary.txt");

    const std::string hid = "SYSTEM\\CurrentControlSet\\Enum\\HID\\VID_03F0&PID_0122";
    const std::string usb = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_03F0&PID_0122";
    for (const std::string& path :
         {std::string("SYSTEM\\CurrentControlSet\\Services\\UsbFltr"),
          hid + "&MI_00",
          hid + "&Mi_01&Col01",
          hid + "&Mi_01&Col02",
          hid + "&Mi_01&Col03",
          usb + "&Mi_00",
          usb + "&Mi_01",
          usb,
          std::string("Enum\\HID\\VID_03F0&PID_0122&MI_00"),
          std::string("Enum\\HID\\VID_03F0&PID_0122&MI_01"),
          std::string("Enum\\HID\\VID_03F0&PID_0122&MI_01&Col01"),
          std::string("Enum\\HID\\VID_03F0&PID_0122&MI_01&Col02"),
          std::string("Enum\\HID\\VID_03F0&PID_0122&MI_01&Col03"),
          std::string("Enum\\HID\\VID_03F0&PID_0122"),
          std::string("Enum\\USB\\VID_03F0&PID_0122&MI_00"),
          std::string("Enum\\USB\\VID_03F0&PID_0122&MI_01"),
          std::string("Enum\\USB\\VID_03F0&PID_0122"),
          std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamboro"),
          std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Keyboard\\"
                      "shellex\\PropertySheetHandlers\\Brenmor Keyboard"),
          std::string("SOFTWARE\\Brenmor\\Tamboro"),
          std::string("SOFTWARE\\Brenmor")})
        m.keys.push_back({HKEY_LOCAL_MACHINE, path});
    m.keys.push_back({HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId});
    m.keys.push_back({HKEY_CURRENT_USER, "SOFTWARE\\Brenmor\\Tamboro"});
    m.keys.push_back({HKEY_CURRENT_USER, "SOFTWARE\\Brenmor"});

    for (const std::string& path :
         {std::string("SYSTEM\\CurrentControlSet\\Services\\UsbFltr2"), hid + "&MI_02", usb + "1",
          std::string("Enum\\HID\\VID_03F0&PID_0123"), std::string("Enum\\USB\\VID_03F1&PID_0122"),
          std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamboro2"),
          std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Keyboard\\"
                      "shellex\\PropertySheetHandlers\\Other Keyboard"),
          std::string("SOFTWARE\\BrenmorCanary")})
        m.keptKeys.push_back({HKEY_LOCAL_MACHINE, path});
    m.keptKeys.push_back({HKEY_CLASSES_ROOT, "CLSID\\{51550900-DCAC-11d4-AA0F-0080C87C465E}"});
    m.keptKeys.push_back({HKEY_CURRENT_USER, "SOFTWARE\\BrenmorCanary"});

    const std::string run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string approved =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
    m.values = {{HKEY_LOCAL_MACHINE, run, "Tamboro"}, {HKEY_LOCAL_MACHINE, approved, kClassId}};
    m.keptValues = {{HKEY_LOCAL_MACHINE, run, "Tamboro2"},
                    {HKEY_LOCAL_MACHINE, approved, "{51550900-DCAC-11d4-AA0F-0080C87C465E}"}};
    return m;
}

// Gives the key a DACL with no entry, which grants nothing to anyone (deny true), or no DACL at
// all, which grants everything (deny false). Only its owner may still change the DACL.
void setKeyDenied(const std::string& path, bool deny) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) {
        if (deny) e2e::fail(__FILE__, __LINE__, "can't open " + path + " to deny it");
        return;
    }
    ACL acl;
    InitializeAcl(&acl, sizeof acl, ACL_REVISION);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, deny ? &acl : NULL, FALSE);
    CHECK_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
    RegCloseKey(key);
}

const char kDeniedKey[] = "SYSTEM\\CurrentControlSet\\Services\\UsbFltr\\Enum\\Nested";

void seed(const Machine& m) {
    // What an earlier case left, the denied key among it, goes first.
    setKeyDenied(kDeniedKey, false);
    e2e::deleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\UsbFltr");
    for (const std::string& directory : m.directories)
        e2e::removeFileTree(directory);
    for (const std::string& path : m.files) {
        e2e::makeDirectories(path.substr(0, path.find_last_of('\\')));
        e2e::writeFile(path);
    }
    for (const std::string& path : m.keptFiles) {
        e2e::makeDirectories(path.substr(0, path.find_last_of('\\')));
        e2e::writeFile(path);
    }
    for (const std::string& directory : m.directories) {
        e2e::makeDirectories(directory + "\\nested\\deeper");
        e2e::writeFile(directory + "\\driver.sys");
        e2e::writeFile(directory + "\\nested\\deeper\\data.bin");
        SetFileAttributesA((directory + "\\driver.sys").c_str(),
                           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    }
    e2e::writeFile(std::string(kServerDirectory) + "\\kbdext.dll");

    for (const Key& key : m.keys) {
        e2e::createKey(key.root, key.path);
        e2e::setString(key.root, key.path, "Name", "value");
    }
    // Subtrees, one of them denied to everyone.
    const std::string filter = "SYSTEM\\CurrentControlSet\\Services\\UsbFltr";
    e2e::setString(HKEY_LOCAL_MACHINE, kDeniedKey, "Count", "1");
    e2e::setString(HKEY_LOCAL_MACHINE, filter + "\\Security", "Security", "x");
    setKeyDenied(kDeniedKey, true);
    e2e::setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brenmor\\Tamboro\\Settings\\Keys", "1", "x");
    e2e::setString(HKEY_CURRENT_USER, "SOFTWARE\\Brenmor\\Tamboro\\Settings", "Last", "x");
    e2e::setString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId + "\\InProcServer32", "",
                   std::string(kServerDirectory) + "\\kbdext.dll");

    for (const Key& key : m.keptKeys)
        e2e::setString(key.root, key.path, "Canary", "canary");
    for (const Value& value : m.values)
        e2e::setString(value.root, value.path, value.name, "x");
    for (const Value& value : m.keptValues)
        e2e::setString(value.root, value.path, value.name, "canary");
}

// present: every entry that the uninstaller removes must exist (true) or be gone (false).
// The canaries must be intact either way.
void checkMachine(const Machine& m, bool present) {
    auto expect = [present](bool exists, const std::string& what) {
        if (exists != present)
            e2e::fail(__FILE__, __LINE__, (present ? "missing: " : "still there: ") + what);
    };
    for (const std::string& path : m.files)
        expect(e2e::exists(path), path);
    for (const std::string& path : m.directories)
        expect(e2e::exists(path), path);
    for (const Key& key : m.keys)
        expect(e2e::keyExists(key.root, key.path), key.path);
    for (const Value& value : m.values)
        expect(e2e::valueExists(value.root, value.path, value.name), value.path + " " + value.name);

    for (const std::string& path : m.keptFiles) {
        if (e2e::readFile(path) != "canary") e2e::fail(__FILE__, __LINE__, "canary lost: " + path);
    }
    for (const Key& key : m.keptKeys) {
        if (!e2e::valueExists(key.root, key.path, "Canary"))
            e2e::fail(__FILE__, __LINE__, "canary lost: " + key.path);
    }
    for (const Value& value : m.keptValues) {
        if (!e2e::valueExists(value.root, value.path, value.name))
            e2e::fail(__FILE__, __LINE__, "canary lost: " + value.path + " " + value.name);
    }
}

// The host application's main window, in a process of its own (this program, started with the
// case "host_application"), until something ends the process.
void hostApplication() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, kHostClass, kHostTitle, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  NULL, NULL, GetModuleHandleA(NULL), NULL);
    if (window == NULL) return;
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
}

HANDLE startHostApplication() {
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    HANDLE process = e2e::start(std::string("\"") + path + "\" host_application");
    CHECK(e2e::waitUntil([] { return FindWindowA(kHostClass, kHostTitle) != NULL; }, 20000));
    return process;
}

BOOL CALLBACK findText(HWND child, LPARAM found) {
    char text[256] = "";
    GetWindowTextA(child, text, sizeof text);
    if (std::strcmp(text, kBoxText) == 0) *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

// Starts uninstall.exe, waits for its confirmation box, checks the question and presses
// `button`. The exit code of the uninstaller, or -1.
long long runUninstaller(int button) {
    HANDLE process = e2e::start("\"" + e2e::programDirectory() + "\\uninstall.exe\"");
    if (process == NULL) return -1;
    HWND box = NULL;
    CHECK(
        e2e::waitUntil([&] { return (box = FindWindowA("#32770", kBoxCaption)) != NULL; }, 20000));
    if (box != NULL) {
        bool found = false;
        EnumChildWindows(box, findText, reinterpret_cast<LPARAM>(&found));
        CHECK(found);
        HWND ok = GetDlgItem(box, IDOK);
        HWND cancel = GetDlgItem(box, IDCANCEL);
        CHECK(ok != NULL && cancel != NULL);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button == IDOK ? ok : cancel));
    }
    long long exitCode = e2e::waitForExit(process, 60000);
    if (exitCode == -1) TerminateProcess(process, 1);
    CloseHandle(process);
    return exitCode;
}

void confirmed() {
    Machine machine = describe();
    seed(machine);
    checkMachine(machine, true);
    HANDLE host = startHostApplication();
    CHECK_EQ(runUninstaller(IDOK), 0);
    CHECK(e2e::waitForExit(host, 10000) != -1);  // the host application was ended
    checkMachine(machine, false);
    if (host != NULL) {
        TerminateProcess(host, 1);
        CloseHandle(host);
    }
}

void cancelled() {
    Machine machine = describe();
    seed(machine);
    HANDLE host = startHostApplication();
    CHECK_EQ(runUninstaller(IDCANCEL), 0);
    CHECK_EQ(WaitForSingleObject(host, 0), WAIT_TIMEOUT);  // still running
    checkMachine(machine, true);
    if (host != NULL) {
        TerminateProcess(host, 1);
        CloseHandle(host);
    }
}

}  // namespace

int main(int argc, char** argv) {
    return e2e::runCase(argc, argv,
                        {{"confirmed", confirmed},
                         {"cancelled", cancelled},
                         {"host_application", hostApplication}});
}
