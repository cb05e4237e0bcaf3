// Helpers of the end-to-end test programs that run under wine64: processes, files, the registry,
// windows and the process's own counts. The cases and checks come from case_checks.h.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "case_checks.h"
#include "file_tree.h"

namespace e2e {

using checks::Case;
using checks::fail;
using checks::runCase;

// Waits until `done` holds, handling this thread's messages meanwhile; false after `ms`.
bool waitUntil(const std::function<bool()>& done, DWORD ms);
// Handles this thread's messages for `ms` milliseconds.
void pumpFor(DWORD ms);

// The directory of this program, without a trailing separator.
std::string programDirectory();

// Processes. `start` returns the process handle (the thread handle is closed), or NULL.
HANDLE start(const std::string& commandLine, const std::string& currentDirectory = "");
// The exit code, or -1 when the process did not end within `ms`.
long long waitForExit(HANDLE process, DWORD ms);

// Files and directories.
bool exists(const std::string& path);
void writeFile(const std::string& path, const std::string& text = "canary");
std::string readFile(const std::string& path);
// Makes every directory of `path` (a directory) that is missing.
void makeDirectories(const std::string& path);
// Removes the tree at `path`, whatever its attributes; nothing when it is missing.
using fixtures::removeFileTree;

// Registry.
bool keyExists(HKEY root, const std::string& path);
void createKey(HKEY root, const std::string& path);
void setString(HKEY root, const std::string& path, const std::string& name,
               const std::string& value);
bool valueExists(HKEY root, const std::string& path, const std::string& name);
// The type and data of a value; false when it can't be read.
bool readValue(HKEY root, const std::string& path, const std::string& name, DWORD* type,
               std::vector<BYTE>* data);
// Deletes the key with its whole subtree; nothing when it is missing.
void deleteTree(HKEY root, const std::string& path);

// Counts of this process's kernel handles and threads.
DWORD handleCount();
DWORD threadCount();

}  // namespace e2e
