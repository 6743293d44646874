// SPDX-License-Identifier: GPL-3.0-or-later
// A desk in a yard: every record is the desk's own first, in its own ledger with its number,
// and goes to the yard's database after, in order and once, whenever the yard answers. So the
// network never stops an export, and desks never conflict, since no record is ever changed
// but for its void mark.
#pragma once

#include "ledger/Ledger.hpp"
#include "ledger/PriceListStore.hpp"

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace logora::ledger {

// One thing the yard has not yet got: a bill under its number, or a void mark.
struct Waiting {
    long long id = 0;
    std::string number;
    bool voidMark = false;
    std::u16string reason;
    friend bool operator==(const Waiting&, const Waiting&) = default;
};

// What waits at the desk, oldest first. Every call throws LedgerError.
class Outbox {
  public:
    virtual ~Outbox() = default;
    virtual std::vector<Waiting> waiting(std::size_t most) = 0;
    virtual void delivered(long long id) = 0;
    // Bills that wait, void marks not counted.
    virtual long long waitingCount() = 0;
    // The yard this desk's ledger was copied into, empty before it joined one.
    virtual std::string copiedInto() = 0;
    // Every record and void mark of the desk waits for the yard, once, in one transaction
    // with the yard's identity.
    virtual void copyInto(std::string_view yard) = 0;
    // A bill the yard keeps as a conflict: another bill was there under its number.
    virtual void conflicted(std::string_view number) = 0;
    virtual std::vector<std::string> conflicts() = 0;
};

// What the yard says of this desk's station.
struct StationState {
    bool granted = false;
    std::u16string why; // when not granted: why, and what to do, in one sentence
    int lastToday = 0;  // the station's highest sequence of the day asked, in the yard
};

// What became of a bill sent to the yard.
enum class Put { Stored, Known, Conflict };

// The yard's database. Every call throws LedgerError, whose message says what the user can do.
class YardStore : public PriceListStore {
  public:
    // The yard's identity, once it answers and has taken this desk's station.
    virtual std::string identity() = 0;
    // A bill whole; a number already there with the same bill changes nothing, so a resent
    // record is kept once, and with another bill keeps this one as a conflict.
    virtual Put put(const BillRecord& record) = 0;
    // Whether the station is this desk's, and its last number of day ("YYYYMMDD").
    virtual StationState station(std::string_view day) = 0;
    // "接替站号": who holds the station, as the question before taking it; empty when it
    // is this desk's already. Then the hand-over, kept in the yard.
    virtual std::u16string holder() = 0;
    virtual void takeOver() = 0;
    virtual void putVoid(std::string_view number, std::u16string_view reason) = 0;
    // Every desk's bills, newest first, without lines, classes and paths.
    virtual std::vector<BillRecord> list() = 0;
    virtual std::optional<BillRecord> load(std::string_view number) = 0;
    // The ledger window's questions, answered by the yard's database.
    virtual Listing listing(const Filter& filter) = 0;
    virtual std::vector<Group> groups(const Filter& filter, Grouping by,
                                      std::u16string_view caption) = 0;
    virtual std::vector<BillRecord> page(const Filter& filter, long long offset,
                                         long long limit) = 0;
};

// The plain line of the ledger window while the yard does not answer.
std::u16string unreachableLine(long long waiting);
// The price window's line while the lists are the desk's last copy.
inline constexpr std::u16string_view kListsFromDesk =
    u"共享账本暂时无法连接，用的是本机上次取到的价格表。";

class YardLedger : public LedgerStore, public PriceListStore {
  public:
    // desk: this desk's ledger and lists, which keep the outbox; yard: the yard's database.
    YardLedger(LedgerStore& desk, PriceListStore& deskLists, Outbox& outbox, YardStore& yard)
        : desk_(desk), deskLists_(deskLists), outbox_(outbox), yard_(yard) {}

    std::string reserveNumber(std::string_view day) override { return desk_.reserveNumber(day); }
    void release(std::string_view number) override { desk_.release(number); }
    // At the desk first, then to the yard if it answers.
    void record(const BillRecord& record) override;
    // The yard's bills when it answers; the desk's own otherwise, said by stateLine().
    std::vector<BillRecord> list() override;
    std::optional<BillRecord> load(std::string_view number) override;
    void markVoid(std::string_view number, std::u16string_view reason) override;
    std::optional<std::u16string> takeNotice() override { return desk_.takeNotice(); }
    std::u16string stateLine() override { return state_; }
    // The window reads the yard's bills while it answers, the desk's own otherwise.
    void beginReading() override;
    Listing listing(const Filter& filter) override;
    std::vector<Group> groups(const Filter& filter, Grouping by,
                              std::u16string_view caption) override;
    std::vector<BillRecord> page(const Filter& filter, long long offset, long long limit) override;
    std::vector<std::u16string> captions() override;

    // The yard's lists, kept at the desk too; the desk's last copy when the yard is away.
    std::vector<prices::PriceList> priceLists() override;
    // Into the yard: a desk that cannot reach it cannot change the yard's lists.
    void savePriceLists(const std::vector<prices::PriceList>& lists,
                        std::string_view time) override;
    std::vector<ListVersion> priceListHistory() override;
    std::u16string listsNote() override { return listsNote_; }

    // Sends what waits, oldest first, each once; the desk's whole ledger and its lists the
    // first time it reaches a yard. False when the yard did not answer; what is left waits.
    bool send();
    // Why the last send failed, for the window that joins the yard.
    const std::u16string& problem() const { return problem_; }
    // A send ends between two bills once this is set: the program is ending.
    void stopWhen(const std::atomic<bool>* stopping) { stopping_ = stopping; }

  private:
    // A question to the yard while it answers; the desk's own answer once it does not.
    template <typename Ask> auto ask(Ask question);
    void away();

    LedgerStore& desk_;
    PriceListStore& deskLists_;
    Outbox& outbox_;
    YardStore& yard_;
    std::u16string state_;
    std::u16string listsNote_;
    std::u16string problem_;
    bool online_ = false; // the window reads the yard's bills
    const std::atomic<bool>* stopping_ = nullptr;
};

} // namespace logora::ledger
