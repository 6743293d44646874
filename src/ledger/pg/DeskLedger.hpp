// SPDX-License-Identifier: GPL-3.0-or-later
// The desk's ledger as the front ends hold it: its own SQLite file, and, once the desk has
// joined a yard, the yard's PostgreSQL database behind it. The environment's
// LOGORA_LEDGER_URL and LOGORA_STATION come before what the window saved.
#pragma once

#include "ledger/YardDesk.hpp"
#include "ledger/YardWindow.hpp"
#include "ledger/pg/PgYard.hpp"
#include "ledger/sqlite/SqliteLedger.hpp"

#include <filesystem>
#include <memory>

namespace logora::ledger {

// Records and lists go to the yard's ledger when the desk is in one, to its own otherwise;
// the front ends and the ledger's window hold this one object through a join or a leave.
class DeskLedger : public LedgerStore, public PriceListStore, public YardDoor {
  public:
    explicit DeskLedger(std::filesystem::path file);
    ~DeskLedger() override;

    // The front end's post, before the first call: the yard's talk then runs on a worker of
    // its own. Without it, as in the tools and tests, it runs at once.
    void useWorker(Post post) { post_ = std::move(post); }
    // On the window's thread, with the worker: the yard's answers came, its lists differ from
    // the desk's copy, a sentence to show.
    std::function<void()> answered;
    std::function<void()> listsChanged;
    std::function<void(std::u16string)> said;
    // For the tests: the worker done, and what it posted run.
    bool settle(std::chrono::milliseconds bound) {
        return (!door_ || door_->waitIdle(bound)) && (!yard_ || yard_->settle(bound));
    }

    // Nothing is opened or connected before the first call.
    LedgerStore& ledger() { return *this; }
    PriceListStore& lists() { return *this; }

    std::string reserveNumber(std::string_view day) override {
        return records().reserveNumber(day);
    }
    void release(std::string_view number) override { records().release(number); }
    void record(const BillRecord& r) override { records().record(r); }
    std::vector<BillRecord> list() override { return records().list(); }
    std::optional<BillRecord> load(std::string_view number) override {
        return records().load(number);
    }
    void markVoid(std::string_view number, std::u16string_view reason) override {
        records().markVoid(number, reason);
    }
    std::optional<std::u16string> takeNotice() override { return records().takeNotice(); }
    std::u16string stateLine() override { return records().stateLine(); }
    void beginReading() override { records().beginReading(); }
    Listing listing(const Filter& f) override { return records().listing(f); }
    std::vector<Group> groups(const Filter& f, Grouping by, std::u16string_view caption) override {
        return records().groups(f, by, caption);
    }
    std::vector<BillRecord> page(const Filter& f, long long offset, long long limit) override {
        return records().page(f, offset, limit);
    }
    std::vector<std::u16string> captions() override { return records().captions(); }
    std::vector<prices::PriceList> priceLists() override { return listStore().priceLists(); }
    void savePriceLists(const std::vector<prices::PriceList>& l, std::string_view time) override {
        listStore().savePriceLists(l, time);
    }
    std::vector<ListVersion> priceListHistory() override { return listStore().priceListHistory(); }
    std::u16string listsNote() override { return listStore().listsNote(); }
    SqliteLedger& desk() { return sqlite_; }
    bool inYard();
    // What waits goes to the yard, when there is one and it answers (the minute's timer).
    void sendWaiting();

    YardSettings settings() override;
    bool setByEnvironment() override;
    std::u16string test(const ReadSettings& settings, const std::u16string& password) override;
    std::u16string join(const ReadSettings& settings, const std::u16string& password) override;
    void testLater(const ReadSettings& settings, const std::u16string& password,
                   Said done) override;
    void joinLater(const ReadSettings& settings, const std::u16string& password,
                   Said done) override;
    void holderLater(const ReadSettings& settings, const std::u16string& password,
                     Asked done) override;
    void takeOverLater(const ReadSettings& settings, const std::u16string& password,
                       Said done) override;
    std::u16string leave() override;
    std::u16string status() override;

  private:
    LedgerStore& records();
    PriceListStore& listStore();
    void configure();
    std::string deskIdentity();
    void useYard(std::string conninfo, std::string station, std::u16string where);
    // The yard the window joined, as kept in the desk's ledger; nullopt when none.
    std::optional<ReadSettings> saved();
    // Keeps the joined yard's settings, or forgets them (nullptr).
    void keep(const ReadSettings* settings);
    // On the door's worker where there is one, else at once; done on the window's thread.
    void onDoor(std::function<std::function<void()>()> job);
    // The yard a hand-over goes to: the environment's, or the window's fields.
    std::string conninfoFor(const ReadSettings& s, const std::u16string& password);
    // Numbers under the station while the yard grants it, under the desk's mark otherwise.
    void numberFor(bool granted);
    // The join once the yard answered.
    std::u16string joinTested(const ReadSettings& settings, const std::u16string& password);

    SqliteLedger sqlite_;
    Post post_;
    std::unique_ptr<YardDesk> yard_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<YardWorker> door_; // the join window's tries, made at the first
    bool configured_ = false;
    std::u16string where_;   // the yard's server as the status line names it
    std::string station_;    // this desk's, in the yard
    std::string conninfo_;   // the yard's, as the desk connects to it
    std::u16string problem_; // why a yard set by the environment is not used
};

} // namespace logora::ledger
