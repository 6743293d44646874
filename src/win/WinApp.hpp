// SPDX-License-Identifier: GPL-3.0-or-later
// The running program on Windows: native windows for the session's calculators and price
// window, their 100 ms timers, message boxes and the manual. The decisions are the
// session's; this class only shows and hides native windows.
#pragma once

#include "export/BillExport.hpp"
#include "export/Spreadsheet.hpp"
#include "ledger/YardWindow.hpp"
#include "ledger/pg/DeskLedger.hpp"
#include "phone/http/PhoneService.hpp"
#include "prices/PriceWindow.hpp"
#include "session/Session.hpp"
#include "win/ComparisonWindow.hpp"
#include "win/FormWindow.hpp"
#include "win/LedgerWindow.hpp"
#include "win/PriceDetailWindow.hpp"

#include <filesystem>
#include <functional>
#include <memory>

namespace logora::win {

using ui::Calculator;

// A modal message under the program's title; ticks wait while it is open.
class BoxMessages : public prices::MessageSink, public exporting::ExportPrompts {
  public:
    void message(const std::u16string& text) override;
    void remind(const std::u16string& text) override { message(text); }
    void failed(const std::u16string& text) override { message(text); }
    bool ask(const std::u16string& question) override;
};

// The price lists' editor on Windows: the clipboard, the common file dialogs, a question box.
class WinEditorIo : public prices::EditorIo {
  public:
    std::u16string clipboardText() override;
    void setClipboardText(const std::u16string& text) override;
    std::optional<std::filesystem::path> csvToOpen() override;
    std::optional<std::filesystem::path> csvToSave() override;
    bool ask(const std::u16string& question) override;
};

class WinApp : private session::FrontEnd {
  public:
    struct Options {
        std::filesystem::path priceFolder;
        std::filesystem::path billFolder;
        std::filesystem::path templateFolder;
        std::filesystem::path stateFolder;             // the snapshot; empty: none is kept
        std::filesystem::path manual;                  // manual.html
        exporting::Spreadsheet* spreadsheet = nullptr; // null: Excel or WPS through COM
    };
    WinApp(HINSTANCE instance, Options options);
    ~WinApp() override;

    // Shows the grid window; offers back the tallies that programs that are gone left.
    void start();
    // The message loop until the program ends.
    int run();
    // Ends as a logout does: the snapshot stays for the next start.
    void endKeepingSnapshot() { session_.endKeepingSnapshot(); }

    ui::Window& window(Calculator which) { return session_.window(which); }
    FormWindow& view(Calculator which);
    // "手机检尺", taps into the calculator it was pressed in.
    void openPhone(Calculator which) override;
    phone::PhoneService* phone() { return phone_.get(); }
    // The code shown, a 32-bit top-down bitmap; null while the desk does not listen.
    HBITMAP codeBitmap() const { return code_; }
    FormWindow* phoneView() { return phoneView_.get(); }

  private:
    // The session's front end.
    void made(Calculator which, ui::Window& window) override;
    void show(Calculator which) override { view(which).show(); }
    void hide(Calculator which) override { view(which).hide(); }
    void minimise(Calculator which) override { view(which).minimise(); }
    bool visible(Calculator which) const override;
    session::Point position(Calculator which) const override;
    void moveTo(Calculator which, session::Point where) override;
    void refresh(Calculator which) override { view(which).sync(); }
    void unloadLater(Calculator which) override;
    void showPrices(prices::PriceWindow& window) override;
    void hidePrices() override;
    void openManual(Calculator which) override;
    void openLedger(Calculator which) override;
    void openComparison(Calculator which) override;
    void openPriceDetail(Calculator which) override;
    bool askToRestore(const std::u16string& question) override { return boxes_.ask(question); }
    void end() override { PostQuitMessage(0); }
    exporting::Spreadsheet& spreadsheet() override { return *sheet_; }
    ledger::LedgerStore* ledger() override { return &ledger_.ledger(); }
    ledger::PriceListStore* priceListStore() override { return &ledger_.lists(); }
    // "共享账本", from 账单记录.
    void openYard();
    void drawCode();
    void showPriceLists(prices::ListEditor& editor) override;
    void hidePriceLists() override;
    void dropPriceLists() override { listsView_.reset(); }
    prices::EditorIo* editorIo() override { return &editorIo_; }
    void exportBegins() override;
    void exportEnds() override;

    HINSTANCE instance_;
    Options options_;
    BoxMessages boxes_;
    WinEditorIo editorIo_;
    std::unique_ptr<exporting::Spreadsheet> ownSheet_;
    exporting::Spreadsheet* sheet_;
    ledger::DeskLedger ledger_; // beside the bills and their archive, and the yard's
    session::Session session_;
    // Views go before the session's models they show.
    std::unique_ptr<FormWindow> views_[3];
    std::unique_ptr<FormWindow> priceView_;
    std::unique_ptr<LedgerWindow> ledgerView_;         // "账单记录", made at its first opening
    std::unique_ptr<ComparisonWindow> comparisonView_; // "标准对照", likewise
    std::unique_ptr<PriceDetailWindow> detailView_;    // "价格明细", likewise
    std::unique_ptr<FormWindow> listsView_;            // "价格表", while it is open
    prices::ListEditor* listsModel_ = nullptr;         // the model listsView_ shows
    std::unique_ptr<ledger::YardWindow> yardWindow_;   // "共享账本", made at its first opening
    std::unique_ptr<FormWindow> yardView_;
    // "手机检尺", made at its first opening; its code is a bitmap over the window's Label1.
    std::unique_ptr<phone::PhoneService> phone_;
    std::unique_ptr<FormWindow> phoneView_;
    HWND codeView_ = nullptr;
    HBITMAP code_ = nullptr;
    HWND messageWindow_ = nullptr; // timers and deferred work that belong to no calculator
    HCURSOR cursorBefore_ = nullptr;
};

} // namespace logora::win
