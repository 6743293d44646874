// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/GradePriceStore.hpp"
#include "ui/Folders.hpp"

#include "text/NumberText.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logora::prices {
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

std::u16string u16(const std::string& s) {
    return text::fromUtf8(s);
}

// A reason a Chinese-reading user understands, for every error a price file can meet.
std::u16string reasonOf(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return u"没有写入权限";
    case EROFS:
        return u"文件夹只读";
    case ENOSPC:
        return u"磁盘已满";
    case EDQUOT:
        return u"磁盘配额已用完";
    case ENOENT:
        return u"文件夹不存在";
    case ENOTDIR:
    case EEXIST:
        return u"路径上有一个同名的文件挡住了文件夹";
    case EISDIR:
        return u"有一个同名的文件夹挡住了单价文件";
    case EIO:
        return u"磁盘读写出错";
    case ELOOP:
        return u"路径上有符号链接循环";
    case ENAMETOOLONG:
        return u"路径太长";
    case EMFILE:
    case ENFILE:
        return u"打开的文件太多";
    default:
        return u"系统错误（错误号 " + text::intText(error) + u"）";
    }
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

// A price file is one short line; anything longer is not one (a disk error, a mistaken copy).
constexpr std::size_t kMaxPriceBytes = 4096;

struct Read {
    enum class Status { Missing, Ok, Folder, TooLarge, Failed } status = Status::Missing;
    std::string bytes;
    int error = 0;
};

// At most kMaxPriceBytes + 1 bytes, never following the file's size.
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

} // namespace

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

FilePriceStore::FilePriceStore(fs::path folder) : folder_(std::move(folder)) {}

fs::path FilePriceStore::defaultFolder() {
    return ui::xdgFolder("XDG_CONFIG_HOME", ".config");
}

fs::path FilePriceStore::fileOf(int priceClass) const {
    return folder_ / ("1(" + std::to_string(priceClass) + ").txt");
}

// The steps of a save, so that three files change together or not at all. New texts go to
// "1(k).txt.new" (each written through a fresh temporary), then a commit mark; only then are
// the old files kept as "1(k).txt.old" and replaced. A save interrupted before the mark leaves
// the old prices; one interrupted after it is completed at the next load or save.
fs::path FilePriceStore::sidecar(int priceClass, const char* suffix) const {
    fs::path p = fileOf(priceClass);
    p += suffix;
    return p;
}

fs::path FilePriceStore::commitMark() const {
    return folder_ / "1(0-2).txt.commit";
}

int FilePriceStore::replace(const fs::path& from, const fs::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void FilePriceStore::recover() {
    std::error_code ec;
    const bool committed = fs::is_regular_file(commitMark(), ec);
    for (int k = 0; k < 3; ++k) {
        const fs::path next = sidecar(k, ".new");
        if (committed && fs::is_regular_file(next, ec)) {
            ::rename(next.c_str(), fileOf(k).c_str());
        } else {
            ::unlink(next.c_str());
        }
        ::unlink(sidecar(k, ".old").c_str());
    }
    if (committed) {
        ::unlink(commitMark().c_str());
    }
    // Temporaries of saves that were killed while writing.
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        const std::string name = entry.path().filename().string();
        for (int k = 0; k < 3; ++k) {
            if (name.rfind(fileOf(k).filename().string() + ".tmp-", 0) == 0) {
                ::unlink(entry.path().c_str());
            }
        }
    }
    syncFolder(folder_);
}

StoreLoad FilePriceStore::load() {
    StoreLoad result;
    std::error_code ec;
    if (fs::is_directory(folder_, ec)) {
        recover();
    }
    for (int k = 0; k < 3; ++k) {
        const fs::path path = fileOf(k);
        const std::u16string name = u16(path.string());
        const Read read = readBounded(path);
        std::optional<std::u16string> price;
        switch (read.status) {
        case Read::Status::Missing:
            continue; // no price stored for this class yet
        case Read::Status::Folder:
            result.problems.push_back(
                u"单价文件 " + name +
                u" 是一个文件夹，不是文件，这个单价留空。请把这个文件夹改名或删除。");
            continue;
        case Read::Status::TooLarge:
            result.problems.push_back(u"单价文件 " + name + u" 太大（超过 " +
                                      text::intText(kMaxPriceBytes) +
                                      u" 字节），不是单价文件，没有读取，这个单价留空；" +
                                      u"保存单价时它会加上日期改名保留。");
            continue;
        case Read::Status::Failed:
            result.problems.push_back(u"无法读取单价文件 " + name + u"：" + reasonOf(read.error) +
                                      u"，这个单价留空。");
            continue;
        case Read::Status::Ok:
            price = fromGbk(read.bytes);
            break;
        }
        if (!price) {
            result.problems.push_back(u"单价文件 " + name + u" 里有无法识别的字符，这个单价留空；" +
                                      u"保存单价时它会加上日期改名保留。");
            continue;
        }
        // The line break that ends the file is not part of the price.
        std::u16string textOf = *price;
        while (!textOf.empty() && (textOf.back() == u'\r' || textOf.back() == u'\n')) {
            textOf.pop_back();
        }
        result.prices[static_cast<std::size_t>(k)] = std::move(textOf);
    }
    return result;
}

StoreSave FilePriceStore::save(const PriceTexts& prices) {
    const std::u16string where = u"（" + u16(folder_.string()) + u"）";
    auto failed = [&where](const std::u16string& why) {
        return StoreSave{false, u"单价保存失败：" + why + u"，单价没有改变" + where + u"。"};
    };
    std::array<std::string, 3> bytes;
    for (int k = 0; k < 3; ++k) {
        auto gbk = toGbk(prices[static_cast<std::size_t>(k)]);
        if (!gbk) {
            return {false, u"单价保存失败：第" + text::intText(k + 1) +
                               u"个单价含有无法保存的字符，请改正后再保存" + where};
        }
        bytes[static_cast<std::size_t>(k)] = *gbk + "\r\n";
    }

    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (ec || !fs::is_directory(folder_, ec)) {
        return failed(reasonOf(ec ? ec.value() : ENOTDIR));
    }
    recover();
    for (int k = 0; k < 3; ++k) {
        if (fs::is_directory(fs::symlink_status(fileOf(k), ec))) {
            return failed(u"有一个同名的文件夹 " + u16(fileOf(k).string()) + u" 挡住了单价文件");
        }
    }

    // 1. The new texts, each through a temporary of its own that nobody can plant beforehand.
    auto removeNew = [this] {
        for (int k = 0; k < 3; ++k) {
            ::unlink(sidecar(k, ".new").c_str());
        }
    };
    for (int k = 0; k < 3; ++k) {
        std::string temp = sidecar(k, ".tmp-XXXXXX").string();
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            removeNew();
            return failed(reasonOf(error));
        }
        const bool written = writeAll(fd, bytes[static_cast<std::size_t>(k)]) &&
                             ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
        const int error = errno;
        const bool closed = ::close(fd) == 0;
        const int renamed = written && closed ? replace(temp, sidecar(k, ".new")) : 0;
        if (!written || !closed || renamed != 0) {
            ::unlink(temp.c_str());
            removeNew();
            return failed(reasonOf(!written ? error : !closed ? errno : renamed));
        }
    }
    syncFolder(folder_);

    // 2. The commit mark: from here on the save completes, even after a kill.
    {
        std::string temp = (folder_ / "1(0).txt.tmp-XXXXXX").string();
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        const bool ok = fd >= 0 && ::fsync(fd) == 0;
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        const int renamed = ok ? replace(temp, commitMark()) : 0;
        if (!ok || renamed != 0) {
            ::unlink(temp.c_str());
            removeNew();
            return failed(reasonOf(!ok ? error : renamed));
        }
        syncFolder(folder_);
    }

    // 3. Files that cannot be read are kept aside, dated, instead of being overwritten.
    std::vector<std::u16string> keptAside;
    for (int k = 0; k < 3; ++k) {
        const Read old = readBounded(fileOf(k));
        const bool unreadable = old.status == Read::Status::TooLarge ||
                                (old.status == Read::Status::Ok && !fromGbk(old.bytes));
        if (unreadable) {
            const fs::path aside =
                folder_ / ("1(" + std::to_string(k) + ") 无法读取 " + ui::fileStamp() + ".txt");
            if (replace(fileOf(k), aside) == 0) {
                keptAside.push_back(u16(aside.string()));
            }
        }
    }

    // 4. The old files as backups, then the new ones in their place; on a failure every file
    // that was replaced gets its old text back.
    std::array<bool, 3> hadOld{};
    for (int k = 0; k < 3; ++k) {
        hadOld[static_cast<std::size_t>(k)] =
            ::link(fileOf(k).c_str(), sidecar(k, ".old").c_str()) == 0;
    }
    for (int k = 0; k < 3; ++k) {
        const int error = replace(sidecar(k, ".new"), fileOf(k));
        if (error != 0) {
            for (int i = 0; i < k; ++i) {
                if (hadOld[static_cast<std::size_t>(i)]) {
                    ::rename(sidecar(i, ".old").c_str(), fileOf(i).c_str());
                } else {
                    ::unlink(fileOf(i).c_str());
                }
            }
            ::unlink(commitMark().c_str());
            removeNew();
            for (int i = 0; i < 3; ++i) {
                ::unlink(sidecar(i, ".old").c_str());
            }
            syncFolder(folder_);
            return failed(reasonOf(error));
        }
    }
    syncFolder(folder_);
    ::unlink(commitMark().c_str());
    for (int k = 0; k < 3; ++k) {
        ::unlink(sidecar(k, ".old").c_str());
    }
    syncFolder(folder_);
    StoreSave done;
    for (const auto& aside : keptAside) {
        done.message += (done.message.empty() ? u"" : u"\n") +
                        (u"无法读取的旧单价文件已改名保留为 " + aside + u"。");
    }
    return done;
}

} // namespace logora::prices
