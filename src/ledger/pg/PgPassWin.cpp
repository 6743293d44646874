// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/pg/PgPass.hpp"

#include <cstdlib>

namespace logora::ledger {

std::filesystem::path pgpassFile() {
    if (const wchar_t* set = _wgetenv(L"PGPASSFILE"); set != nullptr && *set != L'\0') {
        return set;
    }
    const wchar_t* appData = _wgetenv(L"APPDATA");
    return std::filesystem::path(appData != nullptr ? appData : L".") / L"postgresql" /
           L"pgpass.conf";
}

} // namespace logora::ledger
