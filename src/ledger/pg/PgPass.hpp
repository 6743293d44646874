// SPDX-License-Identifier: GPL-3.0-or-later
// The password of a yard's server, kept where libpq looks for it and nowhere else.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace logora::ledger {

// $PGPASSFILE when set; else ~/.pgpass, or %APPDATA%\postgresql\pgpass.conf on Windows.
std::filesystem::path pgpassFile();

// Puts the line for host, port, database and user, in place of an earlier one for the same
// four, and leaves the file readable by its owner only. Returns the system's words when it
// could not be written, empty when it was.
std::string storePassword(std::string_view host, int port, std::string_view database,
                          std::string_view user, std::string_view password);

} // namespace logora::ledger
