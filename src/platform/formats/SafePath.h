#pragma once
// Names that come from outside (archive entries, the update server's file names) and are turned into paths
// below a folder of ours. A name passes only if it can only ever mean a place inside that folder.
#include <windows.h>

// A relative path of one or more components separated by '\' or '/': no leading separator, no drive or stream
// (':'), no "." or ".." component, no component made of dots and blanks only or ending in a dot or blank (the
// system strips those, so two names could mean one file), no device name (CON, NUL, COM1...), no control or
// wildcard characters.
bool IsSafeRelativePath(const wchar_t* path);

// The same for a single file name: no separator at all.
bool IsPlainFileName(const wchar_t* name);

// folder + '\' + relative (separators made '\'), only when the result, fully resolved, lies inside folder.
// False for an unsafe relative path or a result longer than capacity.
bool JoinInside(const wchar_t* folder, const wchar_t* relative, wchar_t* out, DWORD capacity);
