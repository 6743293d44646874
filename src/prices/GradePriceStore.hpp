// SPDX-License-Identifier: GPL-3.0-or-later
// GradePriceStore: the three one-line price files that keep the grade prices between runs.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace logora::prices {

using PriceTexts = std::array<std::u16string, 3>;

struct StoreLoad {
    // A price per class; nullopt where its file does not exist or could not be read.
    std::array<std::optional<std::u16string>, 3> prices;
    // One line per file that exists but could not be read.
    std::vector<std::u16string> problems;
};

struct StoreSave {
    bool ok = true;
    std::u16string message; // why it failed, or, when it succeeded, what was kept aside
};

class GradePriceStore {
  public:
    virtual ~GradePriceStore() = default;
    virtual StoreLoad load() = 0;
    virtual StoreSave save(const PriceTexts& prices) = 0;
};

// The files "1(0).txt", "1(1).txt", "1(2).txt" in one folder, GBK text ending in CR LF.
class FilePriceStore : public GradePriceStore {
  public:
    explicit FilePriceStore(std::filesystem::path folder);
    // $XDG_CONFIG_HOME/logora, by default ~/.config/logora.
    static std::filesystem::path defaultFolder();

    StoreLoad load() override;
    StoreSave save(const PriceTexts& prices) override;
    // The prices as they stand, without completing or undoing an interrupted save: for a
    // folder that is not the program's own to write.
    StoreLoad loadReadOnly() const;

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path fileOf(int priceClass) const;

  protected:
    // Renames one file over another; errno, or 0. A seam for the tests of a failed rename.
    virtual int replace(const std::filesystem::path& from, const std::filesystem::path& to);

  private:
    std::filesystem::path sidecar(int priceClass, const char* suffix) const;
    std::filesystem::path commitMark() const;
    // Completes a save that reached its commit mark, or undoes one that did not.
    void recover();
    // The steps of a save, each an errno value or 0, and the one way back from any of them.
    int writeNewTexts(const std::array<std::string, 3>& bytes);
    int writeCommitMark();
    std::vector<std::u16string> keepUnreadableAside();
    int replaceWithNew(std::array<bool, 3>& hadOld, int& replaced);
    void rollBack(int replaced = 0, const std::array<bool, 3>& hadOld = {});
    std::filesystem::path folder_;
};

// On the first start, the prices of an earlier installation's folder (read only, never
// written) become the store's own, when the store has none of its files yet. The problems
// of the earlier files are returned; nothing happens when there is nothing to take over.
StoreLoad takeOverPrices(FilePriceStore& store, const FilePriceStore& earlier);

// GBK conversions of the store; nullopt when the text cannot be converted.
std::optional<std::string> toGbk(std::u16string_view text);
std::optional<std::u16string> fromGbk(std::string_view bytes);

} // namespace logora::prices
