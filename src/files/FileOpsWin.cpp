// SPDX-License-Identifier: GPL-3.0-or-later
// The price files' operations on Windows: Win32 calls and code page 936, whatever the
// system's own code page is.
#include "files/FileOps.hpp"

#include <windows.h>

#include <cerrno>
#include <random>

namespace logora::fileops {
namespace fs = std::filesystem;

namespace {

// The errno value whose reason the user is given.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    default:
        return EIO;
    }
}

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { close(); }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    bool close() {
        const bool ok = !valid() || CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

} // namespace

Read readBounded(const fs::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? Read::Status::Missing : Read::Status::Failed, {}, errnoOf(error)};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {Read::Status::Folder, {}, EISDIR};
    }
    Handle file(CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? Read::Status::Missing : Read::Status::Failed, {}, errnoOf(error)};
    }
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        return {Read::Status::Failed, {}, EIO};
    }
    Read r{Read::Status::Ok, {}, 0};
    char buf[kMaxPriceBytes + 1];
    while (r.bytes.size() <= kMaxPriceBytes) {
        DWORD n = 0;
        if (!ReadFile(file.get(), buf, static_cast<DWORD>(sizeof buf - r.bytes.size()), &n,
                      nullptr)) {
            return {Read::Status::Failed, {}, errnoOf(GetLastError())};
        }
        if (n == 0) {
            break;
        }
        r.bytes.append(buf, n);
    }
    if (r.bytes.size() > kMaxPriceBytes) {
        return {Read::Status::TooLarge, {}, 0};
    }
    return r;
}

std::optional<fs::path> writeTemporary(const fs::path& target, const std::string& bytes, int& error,
                                       bool) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix = ".tmp-";
        for (int i = 0; i < 6; ++i) {
            suffix += kLetters[random() % (sizeof kLetters - 1)];
        }
        fs::path temp = target;
        temp += suffix;
        // CREATE_NEW never opens what is already there, a planted link included.
        Handle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            const DWORD why = GetLastError();
            if (why == ERROR_FILE_EXISTS || why == ERROR_ALREADY_EXISTS) {
                continue;
            }
            error = errnoOf(why);
            return std::nullopt;
        }
        DWORD written = 0;
        const bool ok =
            (bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                         &written, nullptr) &&
                               written == bytes.size())) &&
            FlushFileBuffers(file.get());
        const DWORD why = GetLastError();
        const bool closed = file.close();
        if (!ok || !closed) {
            error = errnoOf(why);
            DeleteFileW(temp.c_str());
            return std::nullopt;
        }
        return temp;
    }
    error = EEXIST;
    return std::nullopt;
}

int rename(const fs::path& from, const fs::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : errnoOf(GetLastError());
}

bool hardLink(const fs::path& existing, const fs::path& link) {
    return CreateHardLinkW(link.c_str(), existing.c_str(), nullptr) != 0;
}

void remove(const fs::path& path) {
    DeleteFileW(path.c_str());
}

void syncFolder(const fs::path&) {
    // NTFS journals the renames themselves; a folder cannot be flushed without privileges.
}

std::optional<std::string> toGbk(std::u16string_view text) {
    if (text.empty()) {
        return std::string();
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    BOOL lossy = FALSE;
    const int size =
        WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide, length, out.data(), size, nullptr, &lossy);
    if (lossy) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::u16string> fromGbk(std::string_view bytes) {
    if (bytes.empty()) {
        return std::u16string();
    }
    const int length = static_cast<int>(bytes.size());
    const int size =
        MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size <= 0) {
        return std::nullopt;
    }
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), length,
                        reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
}

namespace {

// A handle opened without sharing: no other program can open the file until the system
// closes it, which it does however this program ends.
class ExclusiveLock : public HeldLock {
  public:
    ExclusiveLock(HANDLE handle, fs::path file) : handle_(handle), file_(std::move(file)) {}
    ~ExclusiveLock() override {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    void releaseAndRemove() override {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        DeleteFileW(file_.c_str()); // fails harmlessly when another program took it meanwhile
    }

  private:
    HANDLE handle_;
    fs::path file_;
};

} // namespace

std::unique_ptr<HeldLock> holdLock(const fs::path& file) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<ExclusiveLock>(handle, file);
}

} // namespace logora::fileops
