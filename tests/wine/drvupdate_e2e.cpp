// drvupdate.exe started as setup starts it: from a directory that holds "winME.inf", with its
// "*.001" leftovers beside it and "USB_Kbd\tamboro.002" in the system directory.
#include <windows.h>
// After windows.h, which defines the types it uses.
#include <newdev.h>

#include <cstdio>
#include <string>

#include "e2e.h"

namespace {

const char kResultKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SetupVau";
const char kRunMutex[] = "Brenmor Tamboro RunAP";
const char kHardwareId[] = "HID\\Vid_03F0&PID_0122&Mi_00";

// The files of one run: what drvupdate deletes after a successful update, and what it must
// leave whatever happens.
struct SetupFiles {
    std::string programDirectory;
    std::string sourceDirectory;  // the current directory setup starts the program in
    std::vector<std::string> leftovers;
    std::vector<std::string> kept;
};

std::string systemDirectory() {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path, length);
}

SetupFiles prepare() {
    SetupFiles files;
    const std::string base = "C:\\e2e\\drvupdate";
    e2e::removeFileTree(base);
    files.programDirectory = base + "\\program";
    files.sourceDirectory = base + "\\source";
    e2e::makeDirectories(files.programDirectory);
    e2e::makeDirectories(files.sourceDirectory);
    CopyFileA((e2e::programDirectory() + "\\drvupdate.exe").c_str(),
              (files.programDirectory + "\\drvupdate.exe").c_str(), FALSE);

    const std::string usbKbd = systemDirectory() + "\\USB_Kbd";
    e2e::removeFileTree(usbKbd);
    e2e::makeDirectories(usbKbd);

    files.leftovers = {files.programDirectory + "\\setup.001", files.programDirectory + "\\KBD.001",
                       usbKbd + "\\tamboro.002"};
    files.kept = {files.programDirectory + "\\drvupdate.exe", files.programDirectory + "\\keep.002",
                  files.sourceDirectory + "\\winME.inf", files.sourceDirectory + "\\source.001",
                  usbKbd + "\\other.002"};
    e2e::writeFile(files.sourceDirectory + "\\winME.inf",
                   "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=HIDClass\r\n");
    for (const std::string& path : files.leftovers)
        e2e::writeFile(path);
    for (const std::string& path : files.kept) {
        if (!e2e::exists(path)) e2e::writeFile(path);  // the program and the INF are there
    }
    e2e::deleteTree(HKEY_LOCAL_MACHINE, kResultKey);
    return files;
}

long long runDrvupdate(const SetupFiles& files, DWORD* milliseconds) {
    DWORD started = GetTickCount();
    HANDLE process =
        e2e::start("\"" + files.programDirectory + "\\drvupdate.exe\"", files.sourceDirectory);
    long long exitCode = e2e::waitForExit(process, 60000);
    *milliseconds = GetTickCount() - started;
    if (process != NULL) CloseHandle(process);
    return exitCode;
}

void setupRun() {
    SetupFiles files = prepare();
    DWORD milliseconds = 0;
    CHECK_EQ(runDrvupdate(files, &milliseconds), 0);

    // The outcome the system's driver call gives for the same request, asked again here.
    const std::string infPath = files.sourceDirectory + "\\winME.inf";
    DWORD answer =
        UpdateDriverForPlugAndPlayDevicesA(NULL, kHardwareId, infPath.c_str(), 0, NULL) ? 1 : 0;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!CHECK(e2e::readValue(HKEY_LOCAL_MACHINE, kResultKey, "", &type, &data))) return;
    CHECK_EQ(type, REG_DWORD);
    if (!CHECK_EQ(data.size(), 4)) return;
    DWORD outcome = *reinterpret_cast<const DWORD*>(data.data());
    std::printf("driver call answered %lu, SetupVau %lu\n", answer, outcome);
    CHECK_EQ(outcome, answer);

    for (const std::string& path : files.leftovers) {
        if (outcome == 1 && e2e::exists(path)) e2e::fail(__FILE__, __LINE__, "left " + path);
        if (outcome == 0 && !e2e::exists(path)) e2e::fail(__FILE__, __LINE__, "deleted " + path);
    }
    for (const std::string& path : files.kept) {
        if (!e2e::exists(path)) e2e::fail(__FILE__, __LINE__, "deleted " + path);
    }
}

void runMutexHeld() {
    SetupFiles files = prepare();
    HANDLE mutex = CreateMutexA(NULL, TRUE, kRunMutex);
    CHECK(mutex != NULL && GetLastError() != ERROR_ALREADY_EXISTS);
    DWORD milliseconds = 0;
    CHECK_EQ(runDrvupdate(files, &milliseconds), 0);
    std::printf("the second copy ended after %lu ms\n", milliseconds);
    // A loose bound that a busy machine still meets: the second copy waits for nothing. What
    // shows that it left before doing anything is that nothing changed.
    CHECK(milliseconds < 5000);
    CHECK(!e2e::keyExists(HKEY_LOCAL_MACHINE, kResultKey));
    for (const std::string& path : files.leftovers) {
        if (!e2e::exists(path)) e2e::fail(__FILE__, __LINE__, "deleted " + path);
    }
    CloseHandle(mutex);
}

}  // namespace

int main(int argc, char** argv) {
    return e2e::runCase(argc, argv, {{"setup_run", setupRun}, {"run_mutex_held", runMutexHeld}});
}
