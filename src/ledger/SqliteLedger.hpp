// SPDX-License-Identifier: GPL-3.0-or-later
// The ledger in one SQLite file, ledger.sqlite beside the bills. WAL and a busy timeout let
// two programs record at once; a file that is not a ledger this program can read is kept
// aside under a dated name and a new one is started.
#pragma once

#include "ledger/Ledger.hpp"
#include "ledger/PriceListStore.hpp"

#include <filesystem>

struct sqlite3;

namespace logora::ledger {

// The schema this program writes; older files are brought forward when opened.
inline constexpr int kSchemaVersion = 3;

class SqliteLedger : public LedgerStore, public PriceListStore {
  public:
    // Opens or makes the file; throws LedgerError when its folder cannot hold one.
    explicit SqliteLedger(std::filesystem::path file);
    ~SqliteLedger() override;
    SqliteLedger(const SqliteLedger&) = delete;
    SqliteLedger& operator=(const SqliteLedger&) = delete;

    std::string reserveNumber(std::string_view day) override;
    void release(std::string_view number) override;
    void record(const BillRecord& record) override;
    std::vector<BillRecord> list() override;
    std::optional<BillRecord> load(std::string_view number) override;
    void markVoid(std::string_view number, std::u16string_view reason) override;
    std::optional<std::u16string> takeNotice() override;

    std::vector<prices::PriceList> priceLists() override;
    void savePriceLists(const std::vector<prices::PriceList>& lists,
                        std::string_view time) override;
    std::vector<ListVersion> priceListHistory() override;

    const std::filesystem::path& file() const { return file_; }
    int schemaVersion();

  private:
    void open();
    void migrate();
    // A file this program cannot read goes under a dated name, said by takeNotice().
    void keepAside(bool newer);
    void close();
    [[noreturn]] void fail(std::u16string message) const;
    void exec(const char* sql);
    void switchToWal();

    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
    std::optional<std::u16string> notice_;
};

// The first schema, as the first ledgers were written: for the migration tests.
extern const char* const kSchemaVersion1;

} // namespace logora::ledger
