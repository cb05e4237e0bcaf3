// uninstall: the program that removes the product. After a confirmation it ends the running host
// application and deletes, in a fixed order, the INF copies that device installation made, the
// product's directories, the shell extension's directory, and the registry entries of the
// filter service, the keyboard's device nodes, the shell extension and the product.
//
// Every path is composed in a buffer of MAX_PATH bytes; a path that would not fit is not used,
// and whatever it would have removed stays, with its parents.
#pragma once

#include <windows.h>

// The program's entry point; returns 0 on every path.
extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                              int showState);

// ---- paths ---------------------------------------------------------------------------------

// Appends `text` to the path in `buffer` (MAX_PATH bytes). Returns 1; or 0, leaving the buffer
// as it was, when the result would not fit with its terminator.
int AppendToPath(char* buffer, const char* text);
// `parent`, "\" and `name` into `buffer` (MAX_PATH bytes). Returns 0, with `buffer` empty, when
// that would not fit.
int ComposeChildPath(char* buffer, const char* parent, const char* name);

// ---- the steps of the run ------------------------------------------------------------------

// Enables the named privilege in the process's token. Returns 1 when it was enabled, and at once
// on a system outside the NT family; 0 when a step failed, the token lacking the privilege
// among them.
int EnableProcessPrivilege(const char* name);

// Ends the process that owns the first host application window found; does nothing when there
// is none or its process can't be opened.
void EndHostApplication(void);

// The INF copies below the Windows directory, and the product's directory trees.
void DeleteInfFiles(void);
void RemoveProductDirectories(void);

// Reads the value `valueName` of root\subKey into `buffer` (`size` bytes), whatever its type.
// Returns 1 when it was read and holds a terminator within the buffer (the bytes after the
// value are zeroed); otherwise 0 with all `size` bytes zeroed.
int ReadRegistryString(HKEY root, const char* subKey, const char* valueName, char* buffer,
                       DWORD size);

// The directory of the shell extension's server, from its registration: removed when the
// registered path names a directory below a drive's root, other than the Windows or system
// directory or one above them, and no directory above it is a junction or mount point.
void RemoveServerDirectory(void);

// Whether `path` is an absolute path on a drive that names a directory below its root: no
// relative path, no bare drive or root, no component that ends in a dot or a space (those made
// of dots and spaces only among them), which the platform would trim.
int IsDirectoryBelowDriveRoot(const char* path);
// 1 when the path names the Windows directory, the system directory, or a directory above either
// (also when either can't be read, or the path can't be compared).
int IsSystemDirectoryOrAbove(const char* path);

// The registry entries of the product, in their fixed order.
void RemoveRegistryEntries(void);

// ---- registry subtrees ---------------------------------------------------------------------

// One pass over root\subKey: grants Administrators full access to each key it reaches, removes
// what it can below it, then tries to delete the key. Returns 1 when the enumeration of the key
// returned at least one subkey. Each key it deletes adds 1 to *removedKeys.
int RemoveKeyTreePass(const char* subKey, HKEY root, int* removedKeys);
// Repeats the pass until one finds no subkey or deletes nothing, so a key that stays (kept by
// the system, or still denied) ends the repetition.
void RemoveKeyTree(const char* subKey, HKEY root);
// Replaces the DACL of `key` (opened with WRITE_DAC) with one entry that gives the built-in
// Administrators group KEY_ALL_ACCESS. Returns 1 when the DACL was written.
int GrantAdministratorsFullAccess(HKEY key);

// ---- directory trees -----------------------------------------------------------------------

// Deletes the directory `path` (no trailing separator) with every file and sub-directory in it,
// clearing attributes first. Sub-directories whose names begin with "." are left, with their
// parents, and so are entries whose names end in a dot or a space (no path reaches them). A
// junction or mount point is never entered: the link alone is removed. Returns 1 when the directory
// itself was removed.
int RemoveDirectoryTree(const char* path);
