// SPDX-License-Identifier: GPL-3.0-or-later
// A desk of a yard as the window holds it: every export, void mark and question is answered
// at once from the desk's own ledger and what the yard last told; the talk with the yard runs
// on the yard's worker, with connections of its own, and its answers come back through the
// front end's post. Without a post, as in the tools and the tests, the same work runs at once.
#pragma once

#include "ledger/Yard.hpp"
#include "ledger/YardWorker.hpp"

#include <any>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace logora::ledger {

// Hands a task to the window's thread.
using Post = std::function<void(std::function<void()>)>;

// What the worker holds: its own connection to the desk's file and the yard's database.
class FarSide {
  public:
    virtual ~FarSide() = default;
    virtual YardLedger& ledger() = 0;
    virtual YardStore& yard() = 0;
    virtual Outbox& outbox() = 0;
};

// Said once a run when a bill is numbered under the desk's own mark, before the yard said why.
inline constexpr std::u16string_view kNotGrantedYet =
    u"这台电脑还没有从共享账本确认站号，账单先用带本机记号的单号，不会和别的电脑重复；"
    u"连上共享账本并确认站号后，单号又只带站号。";

// The line of the ledger window while the worker reads the yard.
inline constexpr std::u16string_view kReadingYard = u"正在读取共享账本…，先显示本机的账单。";

class YardDesk : public LedgerStore, public PriceListStore {
  public:
    // desk: the window's connection to the desk's ledger and lists, which keep the outbox;
    // far: made on the worker at its first job; post: empty to run everything at once.
    YardDesk(LedgerStore& desk, PriceListStore& deskLists, Outbox& outbox,
             std::function<std::unique_ptr<FarSide>()> far, Post post);
    ~YardDesk() override;

    std::string reserveNumber(std::string_view day) override { return desk_.reserveNumber(day); }
    void release(std::string_view number) override { desk_.release(number); }
    // At the desk, with its outbox row; the worker sends it.
    void record(const BillRecord& record) override;
    void markVoid(std::string_view number, std::u16string_view reason) override;
    std::vector<BillRecord> list() override;
    std::optional<BillRecord> load(std::string_view number) override;
    // The desk's own notice; else, once a run, why a bill got a number with the desk's mark.
    std::optional<std::u16string> takeNotice() override;
    // The yard's state, why the station is not granted, and conflicts the yard keeps.
    std::u16string stateLine() override;
    void beginReading() override;
    Listing listing(const Filter& filter) override;
    std::vector<Group> groups(const Filter& filter, Grouping by,
                              std::u16string_view caption) override;
    std::vector<BillRecord> page(const Filter& filter, long long offset, long long limit) override;
    std::vector<std::u16string> captions() override;

    // The desk's copy at once; the worker fetches the yard's, and listsChanged says when they
    // differ from what was given.
    std::vector<prices::PriceList> priceLists() override;
    void savePriceLists(const std::vector<prices::PriceList>& lists,
                        std::string_view time) override;
    std::vector<ListVersion> priceListHistory() override;
    std::u16string listsNote() override { return listsNote_; }

    // What waits goes to the yard (the minute's timer).
    void sendWaiting() { send(true); }
    // Why the last send failed.
    const std::u16string& problem() const { return problem_; }

    // On the window's thread: answers came (the ledger window reads again), the yard's lists
    // differ from the desk's copy, and a sentence to show (a list save that failed).
    std::function<void()> answered;
    std::function<void()> listsChanged;
    std::function<void(std::u16string)> said;
    // What the yard said of the station, after each send that reached it, with the day asked.
    std::function<void(const StationState&, const std::string& day)> stationSaid;
    // Why the desk numbers under its own mark, set by the desk; empty while granted.
    std::u16string stationNote;

    // For the tests: waits for the worker, then runs what it posted.
    bool settle(std::chrono::milliseconds bound);

  private:
    enum class Yard { Unknown, Online, Away };
    // On the worker; then done on the window's thread, unless this desk is gone.
    void run(std::function<std::function<void()>(FarSide&)> job);
    FarSide& far();
    // forced: a send the user or the minute asked for, tried even while a failed connection
    // is left alone for a while.
    void send(bool forced);
    void away(long long waiting);
    void tell(const std::function<void()>& hook);
    template <typename T, typename Ask> T ask(std::string key, Ask question, bool waitForIt);

    LedgerStore& desk_;
    PriceListStore& deskLists_;
    Outbox& outbox_;
    std::function<std::unique_ptr<FarSide>()> makeFar_;
    Post post_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // The window's thread only.
    Yard yard_ = Yard::Unknown;
    std::u16string state_;
    std::u16string listsNote_;
    std::u16string problem_;
    bool sending_ = false;
    bool resend_ = false;
    bool resendForced_ = false;
    bool reading_ = false;
    bool fetchingLists_ = false;
    bool telling_ = false;
    long long generation_ = 0;
    std::map<std::string, std::any> answers_; // by question, from the yard
    std::set<std::string> asked_;
    std::vector<prices::PriceList> given_; // the lists last handed out
    bool markTold_ = false;
    std::optional<std::u16string> notice_;

    // The worker's only.
    std::unique_ptr<FarSide> far_;
    std::chrono::steady_clock::time_point quietUntil_{};

    std::unique_ptr<YardWorker> worker_; // last: stopped first
};

// A failed connection is not tried again by an export for this long.
inline constexpr std::chrono::seconds kYardQuiet{30};

} // namespace logora::ledger
