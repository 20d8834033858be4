#include "common/ReplacingFileWriter.h"

#include <windows.h>

#include <algorithm>

#include "common/Exceptions.h"
#include "common/ZorvaneTPU.h"

ReplacingFileWriter::~ReplacingFileWriter() {
    if (file_)
        (void)file_.Close();
    if (!temp_.empty() && !committed_)
        DeleteFileA(temp_.c_str());
}

void ReplacingFileWriter::Write(std::string_view data) {
    if (!file_)
        Open();
    while (!data.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file_.Get(), data.data(), piece, &written, nullptr) || written == 0)
            Fail();
        data.remove_prefix(written);
    }
}

void ReplacingFileWriter::Commit() {
    if (!file_)
        Open();
    if (!FlushFileBuffers(file_.Get()))
        Fail();
    if (!file_.Close())
        Fail();
    if (!MoveFileExA(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail();
    committed_ = true;
}

void ReplacingFileWriter::Open() {
    // A read-only target stays as it is, as writing it in place would fail (Wine's replacing
    // move does not refuse it by itself).
    const DWORD attributes = GetFileAttributesA(target_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        Fail();
    }
    // A name of our own in the target's folder: the final move then stays on one volume.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        wsprintfA(suffix, ".~%lx-%x.tmp", GetCurrentProcessId(), ++counter);
        const std::string candidate = target_ + suffix;
        HANDLE handle = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            temp_ = candidate;
            file_ = KernelHandle(handle);
            return;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            Fail();
    }
    Fail();
}

void ReplacingFileWriter::Fail() {
    const DWORD error = GetLastError();
    throw EInOutError("Cannot create file \"" + target_ + "\". " + SystemErrorText(error));
}

bool WriteFileReplacing(const std::string& name, std::string_view data) {
    try {
        ReplacingFileWriter writer(name);
        writer.Write(data);
        writer.Commit();
        return true;
    } catch (const EInOutError&) {
        return false;
    }
}
