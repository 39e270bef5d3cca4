#pragma once
// C_FileSwap: puts a set of new files into a folder as one change. The new files are first gathered (and
// checked) in a staging folder beside the others; only then are they moved in, each file they replace kept
// aside until the whole set is in place. When any move fails, every move made is undone in reverse, so the
// folder is exactly as before; either way, nothing staged or kept aside is left behind.
//
// Moves are renames within one folder tree on one volume, so the running program's own file can be replaced:
// a running program may be renamed, not overwritten.
#include <string>
#include <vector>

class C_FileSwap {
public:
    // A file of the folder whose current copy is kept under another name once the swap succeeds (the old
    // program as velto_old.exe); a copy already there under that name is replaced.
    struct KeptCopy {
        std::wstring name; // relative to the folder; the file must exist
        std::wstring keptAs;
    };

    // folder: where the files go; stem names the staging and set-aside folders created in it.
    C_FileSwap(std::wstring folder, const std::wstring& stem);
    ~C_FileSwap() { Discard(); }
    C_FileSwap(const C_FileSwap&) = delete;
    C_FileSwap& operator=(const C_FileSwap&) = delete;

    // An empty staging folder; what an earlier run that was cut off left there goes first.
    bool Prepare();
    const std::wstring& Staging() const { return m_staging; }

    // Every file in the staging folder, subfolders included, takes the place of the file of the same relative
    // path in the folder (folders are made as needed); each kept copy is made first. True when everything is in
    // place; false with the folder as it was.
    bool Commit(const std::vector<KeptCopy>& kept);
    // Removes the staging and set-aside folders with whatever they hold.
    void Discard();

private:
    struct Move {
        std::wstring from;
        std::wstring to;
    };

    bool MoveLogged(const std::wstring& from, const std::wstring& to);
    bool SetAside(const std::wstring& relative);
    bool MakeFolders(const std::wstring& relative);
    bool PlaceStaged(const std::wstring& relative);
    void Undo();

    std::wstring m_folder;
    std::wstring m_staging;
    std::wstring m_aside;
    std::vector<Move> m_moves;              // in the order made
    std::vector<std::wstring> m_newFolders; // made in the folder, in the order made
};

// Removes a folder and everything below it; a link inside is removed, never followed. False when anything
// stays.
bool DeleteFolderTree(const std::wstring& folder);

// The files below folder as paths relative to it, subfolders first visited in the order found.
bool ListFiles(const std::wstring& folder, std::vector<std::wstring>& relativePaths);
