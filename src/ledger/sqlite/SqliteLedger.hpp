// SPDX-License-Identifier: GPL-3.0-or-later
// The ledger in one SQLite file, ledger.sqlite beside the bills. WAL and a busy timeout let
// two programs record at once; a file that is not a ledger this program can read is kept
// aside under a dated name and a new one is started.
#pragma once

#include "ledger/Ledger.hpp"
#include "ledger/PriceListStore.hpp"
#include "ledger/Yard.hpp"

#include <filesystem>

struct sqlite3;

namespace logora::ledger {

// The schema this program writes; older files are brought forward when opened.
inline constexpr int kSchemaVersion = 5;

class SqliteLedger : public LedgerStore, public PriceListStore, public Outbox {
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
    Listing listing(const Filter& filter) override;
    std::vector<Group> groups(const Filter& filter, Grouping by,
                              std::u16string_view caption) override;
    std::vector<BillRecord> page(const Filter& filter, long long offset, long long limit) override;
    std::vector<std::u16string> captions() override;

    std::vector<prices::PriceList> priceLists() override;
    void savePriceLists(const std::vector<prices::PriceList>& lists,
                        std::string_view time) override;
    std::vector<ListVersion> priceListHistory() override;

    // This desk's records wait for the yard: each record and void mark goes into the outbox
    // in its own transaction, and a void mark of a bill of another desk is taken.
    void joinYard(bool inYard) { inYard_ = inYard; }
    // Numbers are "YYYYMMDD-<station>-NNN" from now; empty: "YYYYMMDD-NNN".
    void numberAs(std::string station) { station_ = std::move(station); }
    std::vector<Waiting> waiting(std::size_t most) override;
    void delivered(long long id) override;
    long long waitingCount() override;
    std::string copiedInto() override;
    void copyInto(std::string_view yard) override;
    void conflicted(std::string_view number) override;
    std::vector<std::string> conflicts() override;
    // The yard's last number of a day, learned: the desk's next number comes after it.
    void numberAfter(std::string_view day, int sequence);

    // The desk's own settings, kept with its ledger.
    std::optional<std::string> setting(std::string_view key);
    void setSetting(std::string_view key, std::optional<std::string_view> value);

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
    void queue(std::string_view number, bool voidMark, std::u16string_view reason);

    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
    std::optional<std::u16string> notice_;
    bool inYard_ = false;
    std::string station_;
};

// The first schema, as the first ledgers were written: for the migration tests.
extern const char* const kSchemaVersion1;

} // namespace logora::ledger
