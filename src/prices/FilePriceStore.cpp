#include "prices/GradePriceStore.hpp"

#include "text/NumberText.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
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

// A reason a Chinese-reading user understands, for the errors a save meets in practice.
std::u16string reasonOf(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return u"没有写入权限";
    case EROFS:
        return u"文件夹只读";
    case ENOSPC:
        return u"磁盘已满";
    case ENOTDIR:
    case ENOENT:
        return u"文件夹不存在";
    default:
        return u16(std::strerror(error));
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

std::optional<std::string> readAll(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string bytes;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
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
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/') {
        return fs::path(config) / "logora";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : ".") / ".config" / "logora";
}

fs::path FilePriceStore::fileOf(int priceClass) const {
    return folder_ / ("1(" + std::to_string(priceClass) + ").txt");
}

StoreLoad FilePriceStore::load() {
    StoreLoad result;
    for (int k = 0; k < 3; ++k) {
        const fs::path path = fileOf(k);
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) {
            continue; // no price stored for this class yet
        }
        const auto bytes = readAll(path);
        const auto price = bytes ? fromGbk(*bytes) : std::nullopt;
        if (!price) {
            result.problems.push_back(u"无法读取单价文件：" + u16(path.string()));
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
    std::array<std::string, 3> bytes;
    for (int k = 0; k < 3; ++k) {
        auto gbk = toGbk(prices[static_cast<std::size_t>(k)]);
        if (!gbk) {
            return {false, u"单价保存失败：第" + u16(std::to_string(k + 1)) +
                               u"个单价含有无法保存的字符，请改正后再保存" + where};
        }
        bytes[static_cast<std::size_t>(k)] = *gbk + "\r\n";
    }

    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (ec) {
        return {false, u"单价保存失败：" + reasonOf(ec.value()) + where};
    }

    // New texts go to temporary files first; the old files are replaced only when all
    // three are safely on disk, so a failed save never loses a stored price.
    std::array<fs::path, 3> temps;
    int created = 0;
    auto cleanUp = [&] {
        for (int i = 0; i < created; ++i) {
            ::unlink(temps[static_cast<std::size_t>(i)].c_str());
        }
    };
    for (int k = 0; k < 3; ++k) {
        fs::path temp = fileOf(k);
        temp += ".tmp-" + std::to_string(::getpid());
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int error = errno;
            cleanUp();
            return {false, u"单价保存失败：" + reasonOf(error) + where};
        }
        temps[static_cast<std::size_t>(k)] = temp;
        ++created;
        const bool written = writeAll(fd, bytes[static_cast<std::size_t>(k)]) && ::fsync(fd) == 0;
        const int error = errno;
        if (::close(fd) != 0 || !written) {
            cleanUp();
            return {false, u"单价保存失败：" + reasonOf(written ? errno : error) + where};
        }
    }
    for (int k = 0; k < 3; ++k) {
        if (::rename(temps[static_cast<std::size_t>(k)].c_str(), fileOf(k).c_str()) != 0) {
            const int error = errno;
            for (int i = k; i < 3; ++i) {
                ::unlink(temps[static_cast<std::size_t>(i)].c_str());
            }
            return {false, u"单价保存失败：" + reasonOf(error) + where};
        }
    }
    return {};
}

} // namespace logora::prices
