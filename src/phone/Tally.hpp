// SPDX-License-Identifier: GPL-3.0-or-later
// A calculator's tally as a phone at the truck sees it, and the taps it sends into it: the
// grid's length groups and diameter classes, or the list's rows gathered by length.
#pragma once

#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"

#include <string>
#include <vector>

namespace logora::phone {

struct ClassView {
    std::u16string diameter;
    long long pieces = 0;
    std::u16string volume; // the desk's volume cell
};

struct GroupView {
    std::u16string length;
    std::vector<ClassView> classes;
    long long pieces = 0;
    std::u16string volume;
};

struct TallyView {
    std::u16string title; // "原木计算" or "多材长"
    std::u16string rule;
    std::vector<GroupView> groups;
    std::vector<std::u16string> presets; // the rule's classes, for a length not tallied yet
    long long pieces = 0;
    std::u16string volume;
};

enum class TapKind { Add, Undo, Length, Log };

// One tap of a phone, as it was checked off the wire.
struct Tap {
    std::string id; // the phone's own, unique among its taps
    TapKind kind = TapKind::Add;
    int group = 0;
    std::u16string length;   // the group's length as the phone shows it; the new one (Length)
    std::u16string diameter; // the class (Add), the typed diameter (Log)
    int pieces = 1;          // Add
    std::string of;          // the tap taken back (Undo)
};

// Where a tap landed, so that it can be taken back.
struct Landed {
    TapKind kind = TapKind::Add;
    int row = 0;   // the grid's row (1..14) or the list's row (0..18)
    int group = 0; // the grid's own group (0..3) of that row
    int pieces = 0;
    std::u16string before; // the length (Length), or the diameter the row held (Add, Log)
    bool wroteRow = false; // the tap filled a free row (its texts go back with it)
};

class Tally {
  public:
    virtual ~Tally() = default;
    virtual TallyView view() = 0;
    // Applies a tap, or says in a sentence why it cannot be (and changes nothing).
    virtual std::u16string apply(const Tap& tap, Landed& landed) = 0;
    virtual void takeBack(const Landed& landed) = 0;
    // The texts taps may change, to put back when a batch of them cannot be applied whole.
    virtual std::vector<std::u16string> keep() = 0;
    virtual void restore(const std::vector<std::u16string>& texts) = 0;
};

// A class's pieces may reach this and no more: a tap beyond it is a mistake.
inline constexpr long long kMostPieces = 99999;

class GridTally : public Tally {
  public:
    explicit GridTally(grid::GridWindow& grid) : grid_(grid) {}
    TallyView view() override;
    std::u16string apply(const Tap& tap, Landed& landed) override;
    void takeBack(const Landed& landed) override;
    std::vector<std::u16string> keep() override;
    void restore(const std::vector<std::u16string>& texts) override;

  private:
    std::vector<ui::Control*> touched();
    // The grid's groups a phone's group holds: one, or a pair in the two-length layout.
    std::vector<int> members(int group) const;
    int groups() const { return grid_.twoLengthLayout() ? 2 : grid::kGroups; }

    grid::GridWindow& grid_;
};

class ListTally : public Tally {
  public:
    explicit ListTally(list::ListWindow& list) : list_(list) {}
    TallyView view() override;
    std::u16string apply(const Tap& tap, Landed& landed) override;
    void takeBack(const Landed& landed) override;
    std::vector<std::u16string> keep() override;
    void restore(const std::vector<std::u16string>& texts) override;

  private:
    std::vector<ui::Control*> touched();
    ui::Control& cell(int column, int row) {
        return list_.form().control(u"Text" + std::u16string(1, char16_t(u'0' + column)), row);
    }
    std::vector<std::u16string> lengths();

    list::ListWindow& list_;
};

} // namespace logora::phone
