// SPDX-License-Identifier: GPL-3.0-or-later
// The price files' operations on Linux: POSIX calls and iconv.
#include "files/FileOps.hpp"

#include "text/NumberText.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logora::fileops {
namespace fs = std::filesystem;

namespace {

std::optional<std::string> convert(const char* to, const char* from, const char* in,
                                   std::size_t inLen) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(inLen * 2 + 8, '\0');
    char* inPtr = const_cast<char*>(in);
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    bool ok = true;
    while (inLen > 0) {
        if (iconv(cd, &inPtr, &inLen, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                const std::size_t used = static_cast<std::size_t>(outPtr - out.data());
                out.resize(out.size() * 2);
                outPtr = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    if (!ok) {
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(outPtr - out.data()));
    return out;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

Read readBounded(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // A folder path blocked by a file holds no prices either; the save says why.
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        return {missing ? Read::Status::Missing : Read::Status::Failed, {}, errno};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(fd);
        return {folder ? Read::Status::Folder : Read::Status::Failed, {}, folder ? EISDIR : EIO};
    }
    Read r{Read::Status::Ok, {}, 0};
    char buf[kMaxPriceBytes + 1];
    while (r.bytes.size() <= kMaxPriceBytes) {
        const ssize_t n = ::read(fd, buf, sizeof buf - r.bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            r = {Read::Status::Failed, {}, errno};
            break;
        }
        if (n == 0) {
            break;
        }
        r.bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (r.status == Read::Status::Ok && r.bytes.size() > kMaxPriceBytes) {
        return {Read::Status::TooLarge, {}, 0};
    }
    return r;
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::optional<std::string> toGbk(std::u16string_view text) {
    return convert("GBK", "UTF-16LE", reinterpret_cast<const char*>(text.data()),
                   text.size() * sizeof(char16_t));
}

std::optional<std::u16string> fromGbk(std::string_view bytes) {
    auto utf16 = convert("UTF-16LE", "GBK", bytes.data(), bytes.size());
    if (!utf16) {
        return std::nullopt;
    }
    std::u16string out(utf16->size() / 2, u'\0');
    std::memcpy(out.data(), utf16->data(), out.size() * 2);
    return out;
}

std::optional<fs::path> writeTemporary(const fs::path& target, const std::string& bytes, int& error,
                                       bool ownerOnly) {
    std::string temp = target.string() + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    const bool written =
        writeAll(fd, bytes) && ::fchmod(fd, ownerOnly ? 0600 : 0644) == 0 && ::fsync(fd) == 0;
    error = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        if (written) {
            error = errno;
        }
        ::unlink(temp.c_str());
        return std::nullopt;
    }
    return fs::path(temp);
}

int rename(const fs::path& from, const fs::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool hardLink(const fs::path& existing, const fs::path& link) {
    return ::link(existing.c_str(), link.c_str()) == 0;
}

void remove(const fs::path& path) {
    ::unlink(path.c_str());
}

namespace {

// flock: the kernel drops it with the last descriptor, also when the program is killed.
class FlockLock : public HeldLock {
  public:
    FlockLock(int fd, fs::path file) : fd_(fd), file_(std::move(file)) {}
    ~FlockLock() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FlockLock(const FlockLock&) = delete;
    FlockLock& operator=(const FlockLock&) = delete;
    void releaseAndRemove() override {
        ::unlink(file_.c_str()); // while held, so no other program takes it first
        ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
    fs::path file_;
};

} // namespace

std::unique_ptr<HeldLock> holdLock(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FlockLock>(fd, file);
}

} // namespace logora::fileops
