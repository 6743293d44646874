// SPDX-License-Identifier: GPL-3.0-or-later
// The page a phone opens, built into the program: nothing of it is read from a file or
// fetched from elsewhere at run time.
#pragma once

#include <string_view>

namespace logora::phone {

std::string_view phonePage();
// What a phone is shown when it opens an address whose code is wrong or was renewed.
std::string_view phoneRefusedPage();

} // namespace logora::phone
