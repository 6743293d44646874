// SPDX-License-Identifier: GPL-3.0-or-later
// The desk's ledger as the front ends hold it: its own SQLite file, and, once the desk has
// joined a yard, the yard's PostgreSQL database behind it. The environment's
// LOGORA_LEDGER_URL and LOGORA_STATION come before what the window saved.
#pragma once

#include "ledger/PgYard.hpp"
#include "ledger/SqliteLedger.hpp"
#include "ledger/YardWindow.hpp"

#include <filesystem>
#include <memory>

namespace logora::ledger {

class DeskLedger : public YardDoor {
  public:
    explicit DeskLedger(std::filesystem::path file);

    // The store of records and lists: the yard's when the desk is in one. Nothing is opened
    // or connected before the first call.
    LedgerStore& ledger();
    PriceListStore& lists();
    SqliteLedger& desk() { return sqlite_; }
    bool inYard();
    // What waits goes to the yard, when there is one and it answers (the minute's timer).
    void sendWaiting();

    YardSettings settings() override;
    bool setByEnvironment() override;
    std::u16string test(const ReadSettings& settings, const std::u16string& password) override;
    std::u16string join(const ReadSettings& settings, const std::u16string& password) override;
    std::u16string leave() override;
    std::u16string status() override;

  private:
    void configure();
    std::string deskIdentity();
    void useYard(std::string conninfo, std::string station, std::u16string where);

    SqliteLedger sqlite_;
    std::unique_ptr<PgYard> pg_;
    std::unique_ptr<YardLedger> yard_;
    bool configured_ = false;
    std::u16string where_;   // the yard's server as the status line names it
    std::u16string problem_; // why a yard set by the environment is not used
};

} // namespace logora::ledger
