#include "components/ZorvaneFindFile.h"

#include <algorithm>
#include <utility>

#include "common/Exceptions.h"
#include "common/ZorvaneTPU.h"
#include "components/MaskMatch.h"

namespace {

constexpr DWORD kReadOnly = FILE_ATTRIBUTE_READONLY;    // 1
constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;        // 2
constexpr DWORD kSystem = FILE_ATTRIBUTE_SYSTEM;        // 4
constexpr DWORD kVolumeId = 0x00000008;                 // no longer defined by the SDK
constexpr DWORD kDirectory = FILE_ATTRIBUTE_DIRECTORY;  // 16
constexpr DWORD kArchive = FILE_ATTRIBUTE_ARCHIVE;      // 32
constexpr DWORD kAllSix = kReadOnly | kHidden | kSystem | kVolumeId | kDirectory | kArchive;
// Only these bits keep an entry out of the list; read-only and archive entries always pass.
constexpr DWORD kExcludingBits = kHidden | kSystem | kVolumeId | kDirectory;

// An open FindFirstFileA enumeration, closed on every way out.
class ScopedFind {
  public:
    ScopedFind(const std::string& pattern, WIN32_FIND_DATAA& data)
        : handle_(FindFirstFileA(pattern.c_str(), &data)) {}
    ~ScopedFind() {
        if (Valid())
            FindClose(handle_);
    }
    ScopedFind(const ScopedFind&) = delete;
    ScopedFind& operator=(const ScopedFind&) = delete;
    ScopedFind(ScopedFind&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    ScopedFind& operator=(ScopedFind&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] bool Next(WIN32_FIND_DATAA& data) { return FindNextFileA(handle_, &data) != FALSE; }

  private:
    HANDLE handle_;
};

// The user locale's case-insensitive order, as the list is sorted by it: <0, 0 or >0.
int CompareEntries(const std::string& a, const std::string& b) {
    int result = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                b.data(), static_cast<int>(b.size()));
    if (result != 0)
        return result - CSTR_EQUAL;
    // The comparison fails only for arguments it cannot take; keep a consistent order anyway.
    const std::string lowerA = LowerAscii(a), lowerB = LowerAscii(b);
    return lowerA < lowerB ? -1 : (lowerB < lowerA ? 1 : 0);
}

}  // namespace

const std::string& TFileList::operator[](int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[static_cast<size_t>(index)];
}

bool TFileList::Add(const std::string& entry) {
    auto place = std::lower_bound(
        items_.begin(), items_.end(), entry,
        [](const std::string& item, const std::string& value) { return CompareEntries(item, value) < 0; });
    if (place != items_.end() && CompareEntries(*place, entry) == 0)
        return false;
    items_.insert(place, entry);
    return true;
}

TFindFile::TFindFile(TComponent* owner) : TComponent(owner) {
    SetFileAttr({ffaAnyFile});
}

void TFindFile::SetFileAttr(TFileAttr value) {
    fileAttr_ = value;
    DWORD mask = 0;
    if (value.Contains(ffaReadOnly))
        mask |= kReadOnly;
    if (value.Contains(ffaHidden))
        mask |= kHidden;
    if (value.Contains(ffaSysFile))
        mask |= kSystem;
    if (value.Contains(ffaDirectory))
        mask |= kDirectory;
    if (value.Contains(ffaArchive))
        mask |= kArchive;
    if (value.Contains(ffaAnyFile))
        mask |= kAllSix;
    if (!ShowFolders)
        mask &= ~kDirectory;
    attrMask_ = static_cast<int>(mask);
}

void TFindFile::SetPath(const std::string& value) {
    // Compared with the stored, backslash-terminated text: the same text again costs nothing,
    // while the text without its backslash is stored and checked once more.
    if (value == path_)
        return;
    path_ = TrailBackslash(value);
    if (!FolderExists(value))
        ReportError("TFindFile.setPath", "Path does not exist: " + value);
}

void TFindFile::Search() {
    files_.Clear();
    if (path_.empty()) {
        MsgError("TFindFile-Path is empty");
        return;
    }
    // The masks are read before anything is listed, so a malformed one is reported whatever the
    // folder holds and never leaves an unfiltered list behind.
    std::vector<TMask> masks;
    const bool filter = FileMask != "*.*";
    if (filter) {
        for (const std::string& part : SplitFileMasks(FileMask))
            masks.emplace_back(part);
    }

    filesAreBareNames_ = !FullPath;
    try {
        ListFolder(path_);
    } catch (...) {
        files_.Clear();  // an unfiltered list must not be left for DeleteFound
        throw;
    }
    if (!filter)
        return;
    std::vector<std::string> kept;
    for (const std::string& entry : files_) {
        if (std::any_of(masks.begin(), masks.end(), [&](const TMask& mask) { return mask.Matches(entry); }))
            kept.push_back(entry);
    }
    files_.Assign(std::move(kept));
}

void TFindFile::ListFolder(const std::string& folder) {
    const std::string pattern = folder + "*.*";
    const DWORD excluded = kExcludingBits & ~static_cast<DWORD>(attrMask_);
    WIN32_FIND_DATAA data;
    {
        ScopedFind find(pattern, data);
        if (find.Valid()) {
            do {
                if ((data.dwFileAttributes & excluded) != 0)
                    continue;
                files_.Add(FullPath ? folder + data.cFileName : std::string(data.cFileName));
            } while (find.Next(data));
        }
    }
    if (!SearchSubFolders)
        return;
    // The recursion ends by itself: FindFirstFileA takes no pattern beyond MAX_PATH, so even a
    // folder that contains itself (a junction loop) is entered only so many times.
    ScopedFind find(pattern, data);
    if (!find.Valid())
        return;
    do {
        if ((data.dwFileAttributes & (kHidden | kSystem | kVolumeId)) != 0)
            continue;
        if ((data.dwFileAttributes & kDirectory) == 0 || data.cFileName[0] == '.')
            continue;
        ListFolder(folder + data.cFileName + "\\");
    } while (find.Next(data));
}

bool TFindFile::DeleteFound() {
    AssertAt(!path_.empty(), "ZorvaneFindFile", 208, "Path is empty!");
    FullPath = true;
    // A bare name would be deleted in the current folder, which is not where it was found.
    if (filesAreBareNames_)
        return files_.Count() == 0;
    bool allDeleted = true;
    for (const std::string& entry : files_) {
        const DWORD attributes = GetFileAttributesA(entry.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kDirectory) != 0) {
            allDeleted = false;  // folders are listed, never deleted
            continue;
        }
        (void)SetFileAttributesA(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(entry.c_str())) {
            allDeleted = false;
            // A file that stays keeps its read-only, hidden and system flags.
            if (attributes != INVALID_FILE_ATTRIBUTES)
                (void)SetFileAttributesA(entry.c_str(), attributes);
        }
    }
    return allDeleted;
}
