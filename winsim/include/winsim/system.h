// winsim control API: the system the machine plays, and the program's own place on it.
//
// The machine plays one of two platform families. The NT family is the default; a test that
// wants the 98/Me family chooses it before anything else. The family decides:
// - GetVersion: high bit clear (NT, version 5.0 build 2195) or set (98/Me, version 4.90);
// - the Windows and system directories: "C:\WINNT" and "C:\WINNT\system32", or "C:\WINDOWS"
//   and "C:\WINDOWS\SYSTEM" (created on the simulated disk when the family is chosen);
// - the registry: on NT, keys carry security (see winsim/registry.h), handles are limited to the
//   rights they were opened with, and RegDeleteKeyA refuses a key that has subkeys; on 98/Me
//   there is no security, every handle may do everything, and RegDeleteKeyA deletes the subtree.
#pragma once

#include <windows.h>

#include <string>

namespace winsim {

enum class Family { Nt, Win98Me };

WINSIM_API void setFamily(Family family);
WINSIM_API Family family();

// Replace what GetWindowsDirectoryA / GetSystemDirectoryA report; the directory is created.
WINSIM_API void setWindowsDirectory(const std::string& path);
WINSIM_API void setSystemDirectory(const std::string& path);

// What GetModuleFileNameA(NULL) reports ("C:\PROGRAM.EXE" until set). An empty path makes the
// call fail. No file is created.
WINSIM_API void setProgramPath(const std::string& path);
// What GetCurrentDirectoryA reports and where relative paths start ("C:\" until set). Any
// length is accepted, so that a test can show what a program does with a long one.
WINSIM_API void setCurrentDirectory(const std::string& path);

}  // namespace winsim
