// SPDX-License-Identifier: GPL-3.0-or-later
// The log-volume function under random field texts: never a crash, and always a volume with
// four decimals, the empty result or "溢出".
#include "text/NumberText.hpp"
#include "volume/LogVolume.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Three texts separated by '|'.
    std::u16string fields[3];
    int k = 0;
    for (std::size_t i = 0; i < size && k < 3; ++i) {
        if (data[i] == '|') {
            ++k;
        } else {
            fields[k].push_back(static_cast<char16_t>(data[i]));
        }
    }
    const std::u16string v = logora::volume::CaiJiJiSuan(fields[0], fields[1], fields[2]);
    if (v.empty() || v == logora::text::kOverflow) {
        return 0;
    }
    const auto point = v.find(u'.');
    check(point != std::u16string::npos && v.size() - point - 1 == 4);
    for (std::size_t i = 0; i < v.size(); ++i) {
        check(i == point || (v[i] >= u'0' && v[i] <= u'9') || (i == 0 && v[i] == u'-'));
    }
    check(v == logora::volume::CaiJiJiSuan(fields[0], fields[1], fields[2]));
    return 0;
}
