// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/WinApp.hpp"

#include "export/BillMaps.hpp"
#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"
#include "sawn/SawnWindow.hpp"
#include "text/PathText.hpp"
#include "ui/Snapshot.hpp"
#include "win/ComSpreadsheet.hpp"

#include <commctrl.h>
#include <shellapi.h>

namespace logora::win {

namespace fs = std::filesystem;

namespace {

constexpr UINT kUnload = WM_APP + 1; // wParam: the calculator, or 3 for the prices
constexpr UINT_PTR kSnapshotTimer = 2;
constexpr int kPricesSlot = 3; // the price window, model and view

HWND activeOwner() {
    HWND active = GetActiveWindow();
    return active != nullptr ? active : GetForegroundWindow();
}

// A message box under the program's title; the ticks wait while its own loop runs.
int box(const std::u16string& text, UINT kind) {
    FormWindow::modalOpen = true;
    const int answer =
        MessageBoxW(activeOwner(), wide(text).c_str(), L"Logora", kind | MB_TASKMODAL);
    FormWindow::modalOpen = false;
    return answer;
}

} // namespace

void BoxMessages::message(const std::u16string& text) {
    box(text, MB_OK);
}

bool BoxMessages::ask(const std::u16string& question) {
    return box(question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

WinApp::WinApp(HINSTANCE instance, Options options)
    : instance_(instance), options_(std::move(options)), store_(options_.priceFolder),
      bills_(options_.billFolder, options_.templateFolder), sheet_(options_.spreadsheet),
      snapshots_(options_.stateFolder) {
    if (sheet_ == nullptr) {
        ownSheet_ = std::make_unique<ComSpreadsheet>();
        sheet_ = ownSheet_.get();
    }
    // A window of its own for what belongs to no calculator: deferred unloads, the snapshot.
    messageWindow_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     instance_, nullptr);
    SetWindowSubclass(
        messageWindow_,
        [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) -> LRESULT {
            auto* self = reinterpret_cast<WinApp*>(data);
            if (msg == kUnload) {
                if (wParam == kPricesSlot) {
                    if (self->priceView_ && !self->priceView_->visible()) {
                        self->priceView_.reset();
                        self->price_.reset();
                    }
                } else {
                    Host& h = self->hosts_[wParam];
                    h.view.reset();
                    h.window.reset();
                }
                return 0;
            }
            if (msg == WM_TIMER && wParam == kSnapshotTimer) {
                if (self->tallyTouched_) {
                    self->snapshots_.offer(self->currentSnapshot());
                }
                return 0;
            }
            return DefSubclassProc(hwnd, msg, wParam, lParam);
        },
        1, reinterpret_cast<DWORD_PTR>(this));
    host(Calculator::Grid);
}

WinApp::~WinApp() {
    flow_.markEnding();
    priceView_.reset();
    price_.reset();
    for (Host& h : hosts_) {
        h.view.reset();
        h.window.reset();
    }
    DestroyWindow(messageWindow_);
}

WinApp::Host& WinApp::host(Calculator which) {
    Host& h = hosts_[static_cast<int>(which)];
    if (!h.window) {
        switch (which) {
        case Calculator::Grid:
            h.window = std::make_unique<grid::GridWindow>(static_cast<prices::PriceSource&>(*this));
            break;
        case Calculator::List:
            h.window = std::make_unique<list::ListWindow>();
            break;
        case Calculator::Sawn:
            h.window = std::make_unique<sawn::SawnWindow>();
            break;
        }
        h.view = std::make_unique<FormWindow>(h.window->form(), instance_);
        ui::Window* window = h.window.get();
        FormWindow* view = h.view.get();
        view->onTimer = [window, view] {
            ui::containChangeLoops([window] { window->tick(); });
            view->sync();
        };
        view->onClosed = [this, which] { closedByPlatform(which); };
        view->onUserEdit = [this] { tallyTouched_ = true; };
        view->onEndSession = [this] { endKeepingSnapshot(); };
        view->startTimer(100);
        ui::wireByRole(h.window->form(), which, *this);
        // A calculator opened from another appears where that one stands.
        for (const Host& other : hosts_) {
            if (other.view && other.view.get() != view && other.view->visible()) {
                view->moveTo(other.view->position());
                break;
            }
        }
    }
    return h;
}

ui::Window& WinApp::window(Calculator which) {
    return *host(which).window;
}

FormWindow& WinApp::view(Calculator which) {
    return *host(which).view;
}

bool WinApp::exists(Calculator which) const {
    return hosts_[static_cast<int>(which)].window != nullptr;
}

void WinApp::unloadLater(Calculator which) {
    PostMessageW(messageWindow_, kUnload, static_cast<WPARAM>(which), 0);
}

void WinApp::hidePrices() {
    if (priceView_) {
        priceView_->hide();
    }
}

void WinApp::closedByPlatform(Calculator which) {
    if (which == Calculator::Sawn || flow_.ending()) {
        flow_.closedByPlatform(which);
        return;
    }
    exit();
}

void WinApp::exit() {
    if (flow_.ending()) {
        return;
    }
    // The user chose to end: the tallies go, as they always have.
    KillTimer(messageWindow_, kSnapshotTimer);
    snapshots_.remove();
    flow_.quit();
}

void WinApp::endKeepingSnapshot() {
    if (flow_.ending()) {
        return;
    }
    if (tallyTouched_) {
        snapshots_.flush(currentSnapshot());
    }
    KillTimer(messageWindow_, kSnapshotTimer);
    flow_.markEnding();
    PostQuitMessage(0);
}

void WinApp::start() {
    view(Calculator::Grid).show();
    offerRecovery();
    SetTimer(messageWindow_, kSnapshotTimer, 1000, nullptr);
}

int WinApp::run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

std::string WinApp::currentSnapshot() {
    std::vector<const ui::Form*> forms;
    for (const Host& h : hosts_) {
        if (h.window) {
            forms.push_back(&h.window->form());
        }
    }
    auto& grid = static_cast<grid::GridWindow&>(window(Calculator::Grid));
    return ui::writeSnapshot(ui::takeSnapshot(forms, grid.twoLengthLayout()));
}

void WinApp::offerRecovery() {
    const ui::LeftSnapshot left = ui::takeLeftSnapshot(snapshots_.file());
    if (left.kind == ui::LeftSnapshot::Kind::None) {
        return;
    }
    if (left.kind == ui::LeftSnapshot::Kind::Unreadable) {
        boxes_.message(std::u16string(ui::kUnreadableSnapshot) + text::pathText(left.aside));
        return;
    }
    if (!boxes_.ask(std::u16string(ui::kRestoreQuestion))) {
        snapshots_.discard();
        return;
    }
    tallyTouched_ = true;
    auto& grid = static_cast<grid::GridWindow&>(window(Calculator::Grid));
    if (left.snapshot.twoLengthLayout && !grid.twoLengthLayout()) {
        grid.switchToTwoLengths();
    }
    for (Calculator which : ui::calculatorsIn(left.snapshot)) {
        Host& h = host(which); // created hidden, as a switch would
        ui::restoreSnapshot(left.snapshot, h.window->form());
        h.view->sync();
    }
}

void WinApp::exportBill(Calculator which) {
    if (busy_) {
        return; // a click while an export runs
    }
    busy_ = true;
    HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    try {
        const bool twoLengths =
            which == Calculator::Grid &&
            static_cast<grid::GridWindow&>(window(Calculator::Grid)).twoLengthLayout();
        exporting::BillExporter exporter(*sheet_, bills_, boxes_);
        exporter.run(exporting::billFor(which, twoLengths), window(which).form(),
                     counts_[static_cast<int>(which)]);
    } catch (const std::exception& e) {
        boxes_.message(std::u16string(exporting::kUnexpectedExportError) +
                       text::fromUtf8(e.what()));
    }
    SetCursor(before);
    busy_ = false;
}

void WinApp::openManual(Calculator which) {
    const std::string_view section = ui::manualSection(which);
    std::error_code ec;
    if (fs::exists(options_.manual, ec)) {
        std::wstring url = L"file:///" + options_.manual.generic_wstring() + L"#" +
                           std::wstring(section.begin(), section.end());
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result > 32) {
            return;
        }
        // Some browsers take no fragment from the shell: the manual's start, then.
        const auto plain = reinterpret_cast<INT_PTR>(ShellExecuteW(
            nullptr, L"open", options_.manual.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (plain > 32) {
            return;
        }
    }
    boxes_.message(std::u16string(ui::kManualNotOpened) + text::pathText(options_.manual));
}

prices::PriceWindow& WinApp::priceWindow() {
    if (!price_) {
        price_ = std::make_unique<prices::PriceWindow>(store_, boxes_);
        price_->onSaved = [this] { flow_.pricesSaved(); };
    }
    return *price_;
}

std::u16string WinApp::priceText(int priceClass) {
    return priceWindow().priceText(priceClass);
}

void WinApp::openPrices() {
    priceWindow();
    if (!priceView_) {
        priceView_ =
            std::make_unique<FormWindow>(price_->form(), instance_, view(Calculator::Grid).hwnd());
        priceView_->onClosed = [this] {
            // Closed without "保存退出": its unsaved texts go; the next tick reloads the store.
            PostMessageW(messageWindow_, kUnload, kPricesSlot, 0);
        };
    }
    // Placed relative to the grid window, as the calculators have always placed it.
    RECT grid;
    GetWindowRect(view(Calculator::Grid).hwnd(), &grid);
    RECT price;
    GetWindowRect(priceView_->hwnd(), &price);
    const UINT found = GetDpiForWindow(priceView_->hwnd());
    const UINT dpi = found != 0 ? found : 96;
    const int gridWidth = grid.right - grid.left;
    const int priceWidth = price.right - price.left;
    priceView_->show();
    priceView_->moveTo({grid.left + gridWidth - priceWidth - FormWindow::px(1900, dpi),
                        grid.top + gridWidth - priceWidth + FormWindow::px(550, dpi)});
}

} // namespace logora::win
