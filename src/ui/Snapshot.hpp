// SPDX-License-Identifier: GPL-3.0-or-later
// A snapshot of the calculators' field texts, kept while the program runs so that a tally
// survives a crash, a kill or a power cut.
#pragma once

#include "ui/Form.hpp"
#include "ui/Shell.hpp"

#include <filesystem>

#include <optional>
#include <string>
#include <vector>

namespace logora::ui {

struct FieldText {
    std::u16string window; // "Form1"
    std::u16string name;
    int element = kNoElement;
    std::u16string text;
    friend bool operator==(const FieldText&, const FieldText&) = default;
};

struct Snapshot {
    bool twoLengthLayout = false; // the grid's layout
    std::vector<FieldText> fields;
    // The phone taps already in the tally, in the phone desk's own words, so that a tap sent
    // again after a crash is applied once.
    std::vector<std::u16string> taps;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

// Every field of the given forms, in definition order.
Snapshot takeSnapshot(const std::vector<const Form*>& forms, bool twoLengthLayout);

// One line each, UTF-8, with '\' 't' 'n' 'r' escaped; nullopt when the text is not one.
std::string writeSnapshot(const Snapshot& snapshot);
std::optional<Snapshot> readSnapshot(std::string_view text);

// The fields of one window, written into its form; fields it does not have are skipped.
void restoreSnapshot(const Snapshot& snapshot, Form& form);

// What an abnormal end left behind: nothing, a snapshot to offer, or a file that could not
// be read, renamed aside beside it ("tally-snapshot 无法读取 <stamp>.txt") and never a
// reason not to start.
struct LeftSnapshot {
    enum class Kind { None, Offer, Unreadable } kind = Kind::None;
    Snapshot snapshot;
    std::filesystem::path aside;
};
LeftSnapshot takeLeftSnapshot(const std::filesystem::path& file);

inline constexpr std::u16string_view kRestoreQuestion = u"上次程序意外退出，是否恢复未导出的数据？";
// Followed by the path the unreadable file was renamed to.
inline constexpr std::u16string_view kUnreadableSnapshot =
    u"上次程序意外退出时保存的数据无法读取，没有恢复；它已改名保留为：\n";

// The calculators whose fields the snapshot holds.
std::vector<Calculator> calculatorsIn(const Snapshot& snapshot);

} // namespace logora::ui
