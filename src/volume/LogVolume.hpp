// SPDX-License-Identifier: GPL-3.0-or-later
// The national log-volume rules shared by the grid and the list calculators.
#pragma once

#include <string>
#include <string_view>

namespace logora::volume {

// Volume of one tally entry in cubic metres, as the text shown in its volume cell:
// four decimals, "溢出" for absurd input, or empty (the empty result) when no rule applies.
// jingji: diameter class (cm), jianshu: pieces, caichang: length (m); all field texts.
std::u16string CaiJiJiSuan(std::u16string_view jingji, std::u16string_view jianshu,
                           std::u16string_view caichang);

} // namespace logora::volume
