// TFindFile: a non-visual component that lists the entries of a folder (and of its sub-folders)
// that pass its attribute rules and match its file masks, keeps them as a sorted list, and can
// delete every file listed.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "wingui/WinGui.h"

enum TFileAttrKind { ffaReadOnly, ffaHidden, ffaSysFile, ffaVolumeID, ffaDirectory, ffaArchive, ffaAnyFile };

// A set of TFileAttrKind, written like a set literal: TFileAttr{ffaReadOnly, ffaArchive}.
class TFileAttr {
  public:
    constexpr TFileAttr() = default;
    constexpr TFileAttr(std::initializer_list<TFileAttrKind> kinds) {
        for (TFileAttrKind kind : kinds)
            bits_ |= 1u << kind;
    }
    constexpr bool Contains(TFileAttrKind kind) const { return (bits_ & (1u << kind)) != 0; }
    constexpr bool operator==(const TFileAttr&) const = default;

  private:
    unsigned bits_ = 0;
};

// The finder's result list: sorted by the user locale's case-insensitive comparison, and never
// holding two entries that this comparison calls equal. Only the finder adds to it.
class TFileList {
  public:
    int Count() const { return static_cast<int>(items_.size()); }
    // Raises EListError "List index out of bounds (%d)" for an index outside 0 .. Count-1.
    const std::string& operator[](int index) const;
    void Clear() { items_.clear(); }
    const std::vector<std::string>& Strings() const { return items_; }
    std::vector<std::string>::const_iterator begin() const { return items_.begin(); }
    std::vector<std::string>::const_iterator end() const { return items_.end(); }

  private:
    friend class TFindFile;
    // Inserts at the sorted place; false (and no change) when an equal entry is there already.
    bool Add(const std::string& entry);
    void Assign(std::vector<std::string> sortedEntries) { items_ = std::move(sortedEntries); }
    std::vector<std::string> items_;
};

class TFindFile : public TComponent {
  public:
    explicit TFindFile(TComponent* owner);

    // Which kinds of entry may be listed; assigning it recomputes AttrMask from it and from
    // ShowFolders (ShowFolders alone changes nothing until FileAttr is assigned again).
    TFileAttr FileAttr() const { return fileAttr_; }
    void SetFileAttr(TFileAttr value);
    // The file-attribute bits (read-only 1 ... archive 32) an entry may carry; 47 by default.
    int AttrMask() const { return attrMask_; }

    // The folder to search, kept with a trailing backslash. Assigning a text other than the
    // stored one stores it and reports a folder that does not exist (the path is kept anyway).
    const std::string& Path() const { return path_; }
    void SetPath(const std::string& value);

    bool SearchSubFolders = true;
    // Masks separated by ";" (see SplitFileMasks); exactly "*.*" lists every entry unfiltered.
    std::string FileMask = "*.*";
    bool ShowFolders = false;
    bool FullPath = true;

    // The result of the last Search. Callers read and clear it.
    TFileList& Files() { return files_; }
    const TFileList& Files() const { return files_; }

    // Empties Files and lists Path into it. An empty Path shows "TFindFile-Path is empty". A
    // malformed mask raises EMaskException and leaves Files empty.
    void Search();

    // Deletes every file in Files (clearing read-only, hidden and system first) and goes on past
    // failures; true when every deletion succeeded. Entries listed as bare names (FullPath off)
    // are not deleted and count as failures: they do not say which folder they are in. Raises
    // EAssertionFailed "Path is empty!" for an empty Path. Sets FullPath; Files stays as it is.
    [[nodiscard]] bool DeleteFound();

  private:
    void ListFolder(const std::string& folder);

    TFileAttr fileAttr_;
    int attrMask_ = 0;
    std::string path_;
    TFileList files_;
    bool filesAreBareNames_ = false;
};
