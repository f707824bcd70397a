// Folders that Windows itself names, and questions about paths.
#pragma once

#include <windows.h>

#include <string>

// True when path names an existing folder (or a link to one).
bool isFolder(const std::string& path);

// True when path names an existing file that is no folder.
bool isExistingFile(const std::string& path);

// The user's temporary folder, with its trailing backslash; empty when unknown.
std::string temporaryFolder();

// %ProgramData% as the system knows it (FOLDERID_ProgramData), without a trailing backslash;
// never read from the environment, which the user may set for an elevated process too. Empty
// when unknown.
std::string programDataFolder();

// The user's %LOCALAPPDATA% as the system knows it (FOLDERID_LocalAppData), without a trailing
// backslash; never read from the environment. Empty when unknown.
std::string localAppDataFolder();

// True when handle is open on a folder itself, not on a link (a junction, a symbolic link) that
// was opened in its place with FILE_FLAG_OPEN_REPARSE_POINT.
bool isFolderItself(HANDLE handle);

// True when file is a plain file of one name: not a link (a symbolic link, a junction), not a
// folder, and not a second name of another file, any of which could carry writes elsewhere.
bool isPlainFile(HANDLE file);

// The first bytes of the file at path, at most maxBytes of them; empty when it cannot be read.
// The file is opened for reading only, sharing every access, so that nothing waits for it.
std::string readFileStart(const std::string& path, unsigned long maxBytes);

// The same through a handle already open for reading (synchronous I/O): the bytes from the file's
// start, wherever the handle's position stands.
std::string readFileStart(HANDLE file, unsigned long maxBytes);
