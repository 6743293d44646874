// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/pg/PgPass.hpp"

#include <cstdlib>

namespace logora::ledger {

std::filesystem::path pgpassFile() {
    if (const char* set = std::getenv("PGPASSFILE"); set != nullptr && *set != '\0') {
        return set;
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / ".pgpass";
}

} // namespace logora::ledger
