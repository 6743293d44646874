// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/GradePriceStore.hpp"
#include "ui/Folders.hpp"

#include "text/NumberText.hpp"
#include "text/PathText.hpp"

#include "files/FileOps.hpp"

#include <cerrno>

namespace logora::prices {
namespace fs = std::filesystem;

namespace {

using fileops::kMaxPriceBytes;
using fileops::Read;
using fileops::readBounded;
using fileops::reasonOf;
using fileops::syncFolder;

using text::pathText;

} // namespace

std::optional<std::string> toGbk(std::u16string_view text) {
    return fileops::toGbk(text);
}

std::optional<std::u16string> fromGbk(std::string_view bytes) {
    return fileops::fromGbk(bytes);
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
    return fileops::rename(from, to);
}

void FilePriceStore::recover() {
    std::error_code ec;
    const bool committed = fs::is_regular_file(commitMark(), ec);
    for (int k = 0; k < 3; ++k) {
        const fs::path next = sidecar(k, ".new");
        if (committed && fs::is_regular_file(next, ec)) {
            fileops::rename(next, fileOf(k));
        } else {
            fileops::remove(next);
        }
        fileops::remove(sidecar(k, ".old"));
    }
    if (committed) {
        fileops::remove(commitMark());
    }
    // Temporaries of saves that were killed while writing.
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        // As text, not narrow strings: on Windows a narrow name goes through the code page.
        const std::u16string name = pathText(entry.path().filename());
        for (int k = 0; k < 3; ++k) {
            if (name.rfind(pathText(fileOf(k).filename()) + u".tmp-", 0) == 0) {
                fileops::remove(entry.path());
            }
        }
    }
    syncFolder(folder_);
}

StoreLoad FilePriceStore::load() {
    std::error_code ec;
    if (fs::is_directory(folder_, ec)) {
        recover();
    }
    return loadReadOnly();
}

StoreLoad FilePriceStore::loadReadOnly() const {
    StoreLoad result;
    for (int k = 0; k < 3; ++k) {
        const fs::path path = fileOf(k);
        const std::u16string name = pathText(path);
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
    const std::u16string where = u"（" + pathText(folder_) + u"）";
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
        return failed(reasonOf(ec ? ec.default_error_condition().value() : ENOTDIR));
    }
    recover();
    for (int k = 0; k < 3; ++k) {
        if (fs::is_directory(fs::symlink_status(fileOf(k), ec))) {
            return failed(u"有一个同名的文件夹 " + pathText(fileOf(k)) + u" 挡住了单价文件");
        }
    }

    if (const int error = writeNewTexts(bytes)) {
        rollBack();
        return failed(reasonOf(error));
    }
    if (const int error = writeCommitMark()) {
        rollBack();
        return failed(reasonOf(error));
    }
    const std::vector<std::u16string> keptAside = keepUnreadableAside();
    std::array<bool, 3> hadOld{};
    int replaced = 0;
    if (const int error = replaceWithNew(hadOld, replaced)) {
        rollBack(replaced, hadOld);
        return failed(reasonOf(error));
    }
    syncFolder(folder_);
    fileops::remove(commitMark());
    for (int k = 0; k < 3; ++k) {
        fileops::remove(sidecar(k, ".old"));
    }
    syncFolder(folder_);
    StoreSave done;
    for (const auto& aside : keptAside) {
        done.message += (done.message.empty() ? u"" : u"\n") +
                        (u"无法读取的旧单价文件已改名保留为 " + aside + u"。");
    }
    return done;
}

// 1. The new texts, each through a temporary of its own that nobody can plant beforehand.
int FilePriceStore::writeNewTexts(const std::array<std::string, 3>& bytes) {
    for (int k = 0; k < 3; ++k) {
        int error = 0;
        const auto temp =
            fileops::writeTemporary(fileOf(k), bytes[static_cast<std::size_t>(k)], error);
        if (!temp) {
            return error;
        }
        if (const int renamed = replace(*temp, sidecar(k, ".new"))) {
            fileops::remove(*temp);
            return renamed;
        }
    }
    syncFolder(folder_);
    return 0;
}

// 2. The commit mark: from here on the save completes, even after a kill.
int FilePriceStore::writeCommitMark() {
    int error = 0;
    const auto temp = fileops::writeTemporary(fileOf(0), "", error);
    if (!temp) {
        return error;
    }
    if (const int renamed = replace(*temp, commitMark())) {
        fileops::remove(*temp);
        return renamed;
    }
    syncFolder(folder_);
    return 0;
}

// 3. Files that cannot be read are kept aside, dated, instead of being overwritten.
std::vector<std::u16string> FilePriceStore::keepUnreadableAside() {
    std::vector<std::u16string> keptAside;
    for (int k = 0; k < 3; ++k) {
        const Read old = readBounded(fileOf(k));
        const bool unreadable = old.status == Read::Status::TooLarge ||
                                (old.status == Read::Status::Ok && !fromGbk(old.bytes));
        if (unreadable) {
            const fs::path aside =
                folder_ /
                text::utf8Path("1(" + std::to_string(k) + ") 无法读取 " + ui::fileStamp() + ".txt");
            if (replace(fileOf(k), aside) == 0) {
                keptAside.push_back(pathText(aside));
            }
        }
    }
    return keptAside;
}

// 4. The old files as backups, then the new ones in their place; replaced counts those done.
int FilePriceStore::replaceWithNew(std::array<bool, 3>& hadOld, int& replaced) {
    for (int k = 0; k < 3; ++k) {
        hadOld[static_cast<std::size_t>(k)] = fileops::hardLink(fileOf(k), sidecar(k, ".old"));
    }
    for (replaced = 0; replaced < 3; ++replaced) {
        if (const int error = replace(sidecar(replaced, ".new"), fileOf(replaced))) {
            return error;
        }
    }
    return 0;
}

// A failed save leaves the old prices: every file replaced gets its old text back, and what
// the save had written goes.
void FilePriceStore::rollBack(int replaced, const std::array<bool, 3>& hadOld) {
    for (int i = 0; i < replaced; ++i) {
        if (hadOld[static_cast<std::size_t>(i)]) {
            fileops::rename(sidecar(i, ".old"), fileOf(i));
        } else {
            fileops::remove(fileOf(i));
        }
    }
    fileops::remove(commitMark());
    for (int k = 0; k < 3; ++k) {
        fileops::remove(sidecar(k, ".new"));
        fileops::remove(sidecar(k, ".old"));
    }
    syncFolder(folder_);
}

StoreLoad takeOverPrices(FilePriceStore& store, const FilePriceStore& earlier) {
    std::error_code ec;
    for (int k = 0; k < 3; ++k) {
        if (fs::exists(fs::symlink_status(store.fileOf(k), ec))) {
            return {}; // the store has prices of its own
        }
    }
    StoreLoad found = earlier.loadReadOnly();
    bool any = false;
    PriceTexts prices;
    for (std::size_t k = 0; k < 3; ++k) {
        any = any || found.prices[k].has_value();
        prices[k] = found.prices[k].value_or(u"");
    }
    if (any) {
        const StoreSave saved = store.save(prices);
        if (!saved.ok) {
            found.problems.push_back(saved.message);
        }
    }
    return found;
}

} // namespace logora::prices
