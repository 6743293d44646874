// SPDX-License-Identifier: GPL-3.0-or-later
// Form5, "价格表": the yard's price lists edited one at a time as a table, pasted from and
// copied to a spreadsheet, imported from and exported to .csv files, saved all together.
#pragma once

#include "prices/PriceList.hpp"
#include "prices/PriceWindow.hpp"
#include "ui/Form.hpp"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>

namespace logora::prices {

// What the editor needs of the platform: the clipboard, the file dialogs, a question.
class EditorIo {
  public:
    virtual ~EditorIo() = default;
    virtual std::u16string clipboardText() = 0;
    virtual void setClipboardText(const std::u16string& text) = 0;
    // The file the user picked, or nothing when the dialog was cancelled.
    virtual std::optional<std::filesystem::path> csvToOpen() = 0;
    virtual std::optional<std::filesystem::path> csvToSave() = 0;
    // A yes-or-no question, yes the default.
    virtual bool ask(const std::u16string& question) = 0;
};

// A list as the editor's fields hold it, typed and not yet read.
struct ListTexts {
    std::u16string species, party, kind = u"原木";
    std::array<std::u16string, 6> lengths;
    std::array<std::u16string, 12> bands;
    std::array<std::array<std::u16string, 6>, 12> prices;
    std::array<std::u16string, 4> feeNames, feeAmounts;
    std::array<std::u16string, 4> feeUnits = {u"元/立方米", u"元/立方米", u"元/立方米",
                                              u"元/立方米"};
    friend bool operator==(const ListTexts&, const ListTexts&) = default;
};

// A list as texts; nullopt when it has more bands, lengths or fees than the table holds.
std::optional<ListTexts> textsOf(const PriceList& list);
// The texts read as a list; the problem, a sentence naming the row, when they cannot be.
struct ReadList {
    PriceList list;
    std::u16string problem;
};
ReadList listOf(const ListTexts& texts);

// The contents of a .csv file as text: UTF-8 (with or without its mark), else GBK.
std::u16string csvText(const std::string& bytes);

class ListEditor : public ui::Window {
  public:
    // save stores the lists for the whole program and returns why it could not, or nothing.
    ListEditor(std::vector<PriceList> lists, EditorIo& io, MessageSink& messages,
               std::function<std::u16string(const std::vector<PriceList>&)> save);

    ui::Form& form() override { return form_; }
    void tick() override {}

    std::size_t count() const { return lists_.size(); }
    std::size_t current() const { return current_; }
    // The lists as typed, the one shown included.
    const std::vector<ListTexts>& texts();
    // "关闭" or the window's close box: false when the user keeps the window to save.
    bool mayClose();
    std::function<void()> onClose;

    // The buttons, for the views and the tests.
    void show(std::size_t index);
    void addList();
    void removeList();
    void find();
    void copy();
    void paste();
    void importCsv();
    void exportCsv();
    bool save();

  private:
    void readFields();
    void writeFields();
    // Lists read from a text take the place of those of their key, or come after.
    void take(std::u16string_view text, char16_t separator, const std::u16string& from);
    std::optional<std::vector<PriceList>> readAll();

    ui::Form form_;
    EditorIo& io_;
    MessageSink& messages_;
    std::function<std::u16string(const std::vector<PriceList>&)> save_;
    std::vector<ListTexts> lists_;
    std::vector<ListTexts> saved_;
    std::size_t current_ = 0;
};

} // namespace logora::prices
