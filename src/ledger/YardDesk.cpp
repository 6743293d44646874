// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/YardDesk.hpp"

#include "text/NumberText.hpp"
#include "ui/Folders.hpp"

#include <utility>

namespace logora::ledger {

YardDesk::YardDesk(LedgerStore& desk, PriceListStore& deskLists, Outbox& outbox,
                   std::function<std::unique_ptr<FarSide>()> far, Post post)
    : desk_(desk), deskLists_(deskLists), outbox_(outbox), makeFar_(std::move(far)),
      post_(std::move(post)) {
    if (post_) {
        worker_ = std::make_unique<YardWorker>();
    }
}

YardDesk::~YardDesk() {
    *alive_ = false;
    worker_.reset(); // the job at hand ends within its connection's bounds
    far_.reset();
}

FarSide& YardDesk::far() {
    if (!far_) {
        far_ = makeFar_();
        if (worker_) {
            far_->ledger().stopWhen(&worker_->stopping());
        }
    }
    return *far_;
}

void YardDesk::run(std::function<std::function<void()>(FarSide&)> job) {
    // A ledger file the worker cannot open ends its job with the reason, never the program.
    auto guarded = [this, job = std::move(job)]() -> std::function<void()> {
        try {
            return job(far());
        } catch (const LedgerError& e) {
            return [this, why = e.fullText()] {
                sending_ = reading_ = fetchingLists_ = false;
                problem_ = why;
            };
        }
    };
    if (!worker_) {
        if (std::function<void()> done = guarded()) {
            done();
        }
        return;
    }
    worker_->run([this, guarded = std::move(guarded), alive = std::weak_ptr<bool>(alive_)] {
        std::function<void()> done = guarded();
        if (done) {
            post_([alive, done = std::move(done)] {
                if (const std::shared_ptr<bool> a = alive.lock(); a && *a) {
                    done();
                }
            });
        }
    });
}

bool YardDesk::settle(std::chrono::milliseconds bound) {
    return !worker_ || worker_->waitIdle(bound);
}

void YardDesk::tell(const std::function<void()>& hook) {
    if (hook && worker_) {
        telling_ = true;
        hook();
        telling_ = false;
    }
}

void YardDesk::away(long long waiting) {
    yard_ = Yard::Away;
    state_ = unreachableLine(waiting);
    answers_.clear();
    asked_.clear();
}

namespace {

// The station as the yard has it now, with today's last number; nothing when it cannot say.
std::optional<std::pair<StationState, std::string>> stationOf(FarSide& f) {
    const std::string day = ui::localNow("%Y%m%d");
    try {
        return std::pair{f.yard().station(day), day};
    } catch (const LedgerError&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<std::u16string> YardDesk::takeNotice() {
    if (std::optional<std::u16string> own = desk_.takeNotice()) {
        return own;
    }
    return std::exchange(notice_, std::nullopt);
}

std::u16string YardDesk::stateLine() {
    std::u16string line = state_;
    auto add = [&line](const std::u16string& more) {
        if (!more.empty()) {
            line += (line.empty() ? u"" : u"\n") + more;
        }
    };
    add(stationNote);
    try {
        const std::vector<std::string> numbers = outbox_.conflicts();
        if (!numbers.empty()) {
            add(u"共享账本里已经有另一张账单用了本机账单 " + text::fromUtf8(numbers.front()) +
                (numbers.size() > 1
                     ? u" 等 " + text::intText(static_cast<int>(numbers.size())) + u" 张账单"
                     : std::u16string()) +
                u"的单号：两张都留在共享账本里（冲突表），请管理员核对。");
        }
    } catch (const LedgerError&) {
    }
    return line;
}

void YardDesk::send(bool forced) {
    if (sending_) {
        // What was recorded meanwhile goes with the next round, tried as the most pressing
        // of the asks: the minute's send is never lost to the pause after a failure.
        resend_ = true;
        resendForced_ = resendForced_ || forced;
        return;
    }
    sending_ = true;
    run([this, forced](FarSide& f) -> std::function<void()> {
        const auto now = std::chrono::steady_clock::now();
        std::u16string problem;
        std::optional<std::pair<StationState, std::string>> asked;
        if (!forced && now < quietUntil_) {
            problem = f.ledger().problem();
        } else {
            const bool ok = f.ledger().send();
            problem = f.ledger().problem();
            quietUntil_ = ok ? std::chrono::steady_clock::time_point{} : now + kYardQuiet;
            if (ok) {
                asked = stationOf(f);
            }
        }
        return [this, problem, asked] {
            sending_ = false;
            problem_ = problem;
            if (asked && stationSaid) {
                stationSaid(asked->first, asked->second);
            }
            if (resend_) {
                resend_ = false;
                send(std::exchange(resendForced_, false));
            }
        };
    });
}

void YardDesk::record(const BillRecord& r) {
    desk_.record(r); // its failures are the export's to tell
    const std::optional<NumberParts> parts = parseBillNumber(r.number);
    if (!markTold_ && parts && parts->station.find('.') != std::string::npos) {
        markTold_ = true;
        notice_ = stationNote.empty() ? std::u16string(kNotGrantedYet) : stationNote;
    }
    send(false);
}

void YardDesk::markVoid(std::string_view number, std::u16string_view reason) {
    desk_.markVoid(number, reason);
    send(false);
}

void YardDesk::beginReading() {
    if (telling_ || reading_) {
        return; // the window reads what came; a reading already on its way answers it
    }
    reading_ = true;
    ++generation_;
    answers_.clear();
    asked_.clear();
    if (yard_ != Yard::Away) {
        yard_ = Yard::Unknown;
        state_ = std::u16string(kReadingYard);
    }
    const long long generation = generation_;
    run([this, generation](FarSide& f) -> std::function<void()> {
        const bool ok = f.ledger().send();
        quietUntil_ = ok ? std::chrono::steady_clock::time_point{}
                         : std::chrono::steady_clock::now() + kYardQuiet;
        std::u16string problem = f.ledger().problem();
        std::optional<std::pair<StationState, std::string>> asked;
        if (ok) {
            asked = stationOf(f);
        }
        long long waiting = 0;
        if (!ok) {
            try {
                waiting = f.outbox().waitingCount();
            } catch (const LedgerError&) {
            }
        }
        return [this, ok, waiting, generation, asked, problem = std::move(problem)] {
            reading_ = false;
            problem_ = problem;
            if (asked && stationSaid) {
                stationSaid(asked->first, asked->second);
            }
            if (generation != generation_) {
                return;
            }
            if (ok) {
                yard_ = Yard::Online;
                state_.clear();
            } else {
                away(waiting);
            }
            tell(answered);
        };
    });
}

template <typename T, typename Ask> T YardDesk::ask(std::string key, Ask question, bool waitForIt) {
    if (yard_ == Yard::Online) {
        if (const auto it = answers_.find(key); it != answers_.end()) {
            return std::any_cast<T>(it->second);
        }
        if (asked_.insert(key).second) {
            const long long generation = generation_;
            run([this, key, question, generation](FarSide& f) -> std::function<void()> {
                try {
                    T answer = question(static_cast<YardStore&>(f.yard()));
                    return [this, key, generation, answer = std::move(answer)] {
                        if (generation == generation_ && yard_ == Yard::Online) {
                            answers_[key] = answer;
                            tell(answered);
                        }
                    };
                } catch (const LedgerError&) {
                    long long waiting = 0;
                    try {
                        waiting = f.outbox().waitingCount();
                    } catch (const LedgerError&) {
                    }
                    return [this, generation, waiting] {
                        if (generation == generation_) {
                            away(waiting); // gone while the window reads: the desk's own
                            tell(answered);
                        }
                    };
                }
            });
            if (const auto it = answers_.find(key); it != answers_.end()) {
                return std::any_cast<T>(it->second); // answered at once, without a worker
            }
        }
        if (waitForIt && yard_ == Yard::Online) {
            throw LedgerError(u"共享账本的账单还在读取，请稍等一下再试。", {});
        }
    }
    return question(static_cast<LedgerStore&>(desk_));
}

namespace {

std::string filterKey(const Filter& f) {
    return f.from + '\x1f' + f.to + '\x1f' + text::toUtf8(f.text) + '\x1f' + text::toUtf8(f.sheet);
}

} // namespace

std::vector<BillRecord> YardDesk::list() {
    beginReading();
    return ask<std::vector<BillRecord>>(
        "list", [](auto& store) { return store.list(); }, false);
}

Listing YardDesk::listing(const Filter& f) {
    return ask<Listing>(
        "listing" + filterKey(f), [f](auto& store) { return store.listing(f); }, false);
}

std::vector<Group> YardDesk::groups(const Filter& f, Grouping by, std::u16string_view caption) {
    const std::u16string c(caption);
    return ask<std::vector<Group>>(
        "groups" + filterKey(f) + std::to_string(static_cast<int>(by)) + text::toUtf8(c),
        [f, by, c](auto& store) { return store.groups(f, by, c); }, false);
}

std::vector<BillRecord> YardDesk::page(const Filter& f, long long offset, long long limit) {
    // A page of the desk's bills among the yard's would be a wrong page: wait for the yard's.
    return ask<std::vector<BillRecord>>(
        "page" + filterKey(f) + std::to_string(offset) + ',' + std::to_string(limit),
        [f, offset, limit](auto& store) { return store.page(f, offset, limit); }, true);
}

std::vector<std::u16string> YardDesk::captions() {
    return ask<std::vector<std::u16string>>(
        "captions", [](auto& store) { return captionsOf(store.page({}, 0, 1000)); }, false);
}

std::optional<BillRecord> YardDesk::load(std::string_view number) {
    // The desk's own bill with the paths of its copies here; another desk's from the yard.
    if (std::optional<BillRecord> own = desk_.load(number)) {
        return own;
    }
    const std::string n(number);
    if (!worker_ && yard_ == Yard::Unknown) {
        return far().yard().load(n);
    }
    if (yard_ != Yard::Online) {
        throw LedgerError(u"账单 " + text::fromUtf8(n) +
                              u" 是别的柜台的，共享账本现在连不上，等连上后再打开。",
                          {});
    }
    return ask<std::optional<BillRecord>>(
        "load" + n, [n](auto& store) { return store.load(n); }, true);
}

std::vector<prices::PriceList> YardDesk::priceLists() {
    if (!fetchingLists_) {
        fetchingLists_ = true;
        run([this](FarSide& f) -> std::function<void()> {
            const auto now = std::chrono::steady_clock::now();
            std::vector<prices::PriceList> lists;
            std::u16string note = std::u16string(kListsFromDesk);
            if (now >= quietUntil_) {
                // The yard's lists, into the desk's copy; the desk's copy when it is away.
                lists = f.ledger().priceLists();
                note = f.ledger().listsNote();
                if (!note.empty()) {
                    quietUntil_ = now + kYardQuiet;
                }
            }
            return [this, lists = std::move(lists), note = std::move(note)] {
                fetchingLists_ = false;
                listsNote_ = note;
                if (note.empty() && lists != given_) {
                    tell(listsChanged);
                }
            };
        });
    }
    try {
        given_ = deskLists_.priceLists();
    } catch (const LedgerError&) {
        given_.clear();
        throw;
    }
    return given_;
}

void YardDesk::savePriceLists(const std::vector<prices::PriceList>& lists, std::string_view time) {
    if (!worker_) {
        far().ledger().savePriceLists(lists, time);
        listsNote_.clear();
        return;
    }
    if (yard_ == Yard::Away || !listsNote_.empty()) {
        throw LedgerError(u"价格表没有保存：共享账本现在连不上，价格表只能存进共享账本，"
                          u"好让每个柜台用同一份。请等连上后再保存；编辑器里的内容还在。",
                          {});
    }
    // This desk prices with them at once; the yard gets them from the worker.
    deskLists_.savePriceLists(lists, time);
    run([this, lists, at = std::string(time)](FarSide& f) -> std::function<void()> {
        try {
            f.yard().savePriceLists(lists, at);
            return {};
        } catch (const LedgerError& e) {
            const std::u16string why = e.fullText();
            return [this, why] {
                if (said) {
                    said(u"价格表只存在了本机，没有存进共享账本：" + why +
                         u"\n连上后请在价格表里再保存一次，别的柜台才用得上。");
                }
            };
        }
    });
}

std::vector<ListVersion> YardDesk::priceListHistory() {
    if (!worker_) {
        return far().ledger().priceListHistory();
    }
    return deskLists_.priceListHistory(); // the desk's copy: the yard's comes with its lists
}

} // namespace logora::ledger
