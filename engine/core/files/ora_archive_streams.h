// The archive-aware StreamFunctionTable set. Every file opened through it is
// looked up in the archives first: the archive of a folder is the file named
// by the folder's path, a point and the archive extension ("Data.vesk" for
// the folder Data), and the outermost folder level on a path that has an
// archive decides; a file below such a folder is read from the archive only
// (a missing member is not looked for as a plain file). Paths are Shift-JIS,
// compared with ASCII letters upper-cased.
// Limits: 512 archives open at once (unused ones are cached until the table
// is full), 512 streams open at once. Handles are the open-file slot index
// OR 0xF0000000.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/files/file_stream_table.h"

inline constexpr int kMaxOpenArchives = 512;
inline constexpr int kMaxArchiveStreams = 512;
inline constexpr StreamHandle kArchiveStreamHandleFlag = 0xF0000000;
inline constexpr size_t kArchiveExtensionMax = 63;
inline constexpr const char* kDefaultArchiveExtension = "ORA";

// The set. Open, tell, seek, read, eof and idle-check of a plain file go to
// the FileStream operations; reads of a member return bytes, of a plain file
// whole elements. getdir writes an empty text (and returns -1) when the
// current folder does not fit its 256 bytes: a path is never cut.
const StreamFunctionTable& ArchiveStreamFunctions();

// Setters (public entries ChangeArchiveExtension, ChangeArchiveKey); 0.
// An extension of 1 to 63 characters is kept, anything else restores the
// default. A key text is cut to 12 characters; null means no key text.
int UseArchiveExtension(const char* extension);
int UseArchiveKey(const char* key_text);

// Start-up: forgets every archive and stream (closing what is still open)
// and the last hit. Settings are kept.
void ClearArchiveTables();
// Shutdown: closes every archive no open stream uses.
void TerminateArchives();
void CloseUnusedArchives();

// The full path of path, upper-cased, with backslashes only ("C:\A\B").
// Empty when the path is unusable.
std::string NormalizeFullPath(const char* path);

// Windows wildcard match of a name ('*' any run, '?' one character; double-
// byte characters compare as pairs; ASCII letters case-insensitively; a
// final ".*" also matches a name without an extension).
bool MatchWildcard(const char* pattern, const char* name);

// For tests and diagnostics.
int OpenArchiveCount();
int OpenArchiveStreamCount();
// Reference count of the archive whose file path (normalised) is given; -1
// when it is not open.
int ArchiveReferenceCount(const std::string& archive_path);
