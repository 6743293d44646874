// SPDX-License-Identifier: GPL-3.0-or-later
// A record's headers, lines and classes as one text column each, so that a bill is one row of
// its table in either database: fields end with US, rows with RS, and the two separators
// and the backslash are escaped in the texts.
#pragma once

#include "ledger/Ledger.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace logora::ledger {

std::string encodeRows(const std::vector<std::vector<std::u16string>>& rows);
std::vector<std::vector<std::u16string>> decodeRows(std::string_view text);

std::string encodeHeaders(const std::vector<Header>& headers);
std::vector<Header> decodeHeaders(std::string_view text);
std::string encodeLines(const std::vector<Line>& lines);
std::vector<Line> decodeLines(std::string_view text);
std::string encodeClasses(const std::vector<PriceClass>& classes);
std::vector<PriceClass> decodeClasses(std::string_view text);

} // namespace logora::ledger
