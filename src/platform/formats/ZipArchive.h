#pragma once
// Extracts a zip archive into a folder: the archive's central directory is read, every entry checked, and only
// then are the stored and deflated entries written with their relative paths, folders created as needed. An
// archive with any entry that could land outside the folder (absolute path, drive letter, "..", device name)
// is refused as a whole, before anything is written. Each entry's size and CRC-32 are checked; a file that
// fails is deleted again.
#include <windows.h>

enum class ZipResult {
    Extracted,
    Unreadable,   // the archive cannot be opened or mapped
    NotAnArchive, // no valid end of central directory, or entries beyond the file
    UnsafePath,   // an entry would land outside the folder
    Unsupported,  // encrypted, split, ZIP64, or a method other than stored or deflated
    Corrupt,      // a local header, the compressed data, a size or a CRC does not match
    WriteFailed,  // a folder or file could not be created or written
};

ZipResult ExtractZipArchive(const wchar_t* archive, const wchar_t* folder);
