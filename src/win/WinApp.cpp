// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/WinApp.hpp"

#include "phone/qr/QrCode.hpp"
#include "text/PathText.hpp"
#include "win/ComSpreadsheet.hpp"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>

namespace logora::win {

namespace fs = std::filesystem;

namespace {

constexpr UINT kUnload = WM_APP + 1; // wParam: the calculator, or 3 for the prices
constexpr UINT_PTR kSnapshotTimer = 2;
constexpr UINT_PTR kYardTimer = 3;      // what waits for the yard's ledger, every minute
constexpr UINT kPhoneTask = WM_APP + 2; // lParam: a phone's or the yard's task, for this thread
constexpr int kPricesSlot = 3;          // the price window, model and view

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

std::u16string WinEditorIo::clipboardText() {
    std::u16string out;
    if (OpenClipboard(nullptr) == FALSE) {
        return out;
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
        if (const auto* text = static_cast<const char16_t*>(GlobalLock(data)); text != nullptr) {
            out = text;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return out;
}

void WinEditorIo::setClipboardText(const std::u16string& text) {
    if (OpenClipboard(nullptr) == FALSE) {
        return;
    }
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    if (HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes); data != nullptr) {
        if (void* to = GlobalLock(data); to != nullptr) {
            std::memcpy(to, text.c_str(), bytes);
            GlobalUnlock(data);
            if (SetClipboardData(CF_UNICODETEXT, data) == nullptr) {
                GlobalFree(data);
            }
        } else {
            GlobalFree(data);
        }
    }
    CloseClipboard();
}

namespace {

std::optional<fs::path> csvDialog(bool save) {
    wchar_t file[MAX_PATH] = L"价格表.csv";
    if (!save) {
        file[0] = L'\0';
    }
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = activeOwner();
    ofn.lpstrFilter = L"CSV 文件 (*.csv)\0*.csv\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"csv";
    ofn.lpstrTitle = save ? L"导出价格表" : L"导入价格表";
    ofn.Flags = OFN_NOCHANGEDIR | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    FormWindow::modalOpen = true;
    const BOOL picked = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    FormWindow::modalOpen = false;
    if (picked == FALSE) {
        return std::nullopt;
    }
    return fs::path(file);
}

} // namespace

std::optional<fs::path> WinEditorIo::csvToOpen() {
    return csvDialog(false);
}

std::optional<fs::path> WinEditorIo::csvToSave() {
    return csvDialog(true);
}

bool WinEditorIo::ask(const std::u16string& question) {
    return box(question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

WinApp::WinApp(HINSTANCE instance, Options options)
    : instance_(instance), options_(std::move(options)), sheet_(options_.spreadsheet),
      ledger_(options_.billFolder / ledger::kLedgerFile),
      session_({options_.priceFolder, options_.billFolder, options_.templateFolder,
                options_.stateFolder},
               *this, boxes_, boxes_) {
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
                        self->session_.discardPrices();
                    }
                } else {
                    self->views_[wParam].reset();
                    if (self->phone_) {
                        self->phone_->unloaded(static_cast<Calculator>(wParam));
                    }
                    self->session_.unload(static_cast<Calculator>(wParam));
                }
                return 0;
            }
            if (msg == kPhoneTask) {
                std::unique_ptr<std::function<void()>> task(
                    reinterpret_cast<std::function<void()>*>(lParam));
                (*task)();
                return 0;
            }
            if (msg == WM_TIMER && wParam == kSnapshotTimer) {
                self->session_.snapshotTick();
                return 0;
            }
            if (msg == WM_TIMER && wParam == kYardTimer) {
                self->ledger_.sendWaiting();
                return 0;
            }
            return DefSubclassProc(hwnd, msg, wParam, lParam);
        },
        1, reinterpret_cast<DWORD_PTR>(this));
    // The yard's worker hands its answers to this thread as posted messages.
    HWND to = messageWindow_;
    ledger_.useWorker([to](std::function<void()> task) {
        auto* posted = new std::function<void()>(std::move(task));
        if (!PostMessageW(to, kPhoneTask, 0, reinterpret_cast<LPARAM>(posted))) {
            delete posted; // the program is ending: the next start reads the yard again
        }
    });
    ledger_.answered = [this] {
        if (ledgerView_ && ledgerView_->visible()) {
            ledgerView_->reload();
        }
    };
    ledger_.listsChanged = [this] { session_.priceListsChanged(); };
    ledger_.said = [this](const std::u16string& text) { boxes_.message(text); };
    session_.window(Calculator::Grid);
}

WinApp::~WinApp() {
    phoneView_.reset();
    phone_.reset();
    if (code_) {
        DeleteObject(code_);
    }
    priceView_.reset();
    for (auto& v : views_) {
        v.reset();
    }
    DestroyWindow(messageWindow_);
}

void WinApp::made(Calculator which, ui::Window& window) {
    auto& slot = views_[static_cast<int>(which)];
    slot = std::make_unique<FormWindow>(window.form(), instance_);
    FormWindow* view = slot.get();
    ui::Window* model = &window;
    view->onTimer = [model, view] {
        ui::containChangeLoops([model] { model->tick(); });
        view->sync();
    };
    view->onClosed = [this, which] { session_.closedByPlatform(which); };
    view->onUserEdit = [this] { session_.userEdited(); };
    view->onEndSession = [this] { endKeepingSnapshot(); };
    view->startTimer(100);
}

FormWindow& WinApp::view(Calculator which) {
    session_.window(which);
    return *views_[static_cast<int>(which)];
}

bool WinApp::visible(Calculator which) const {
    const auto& v = views_[static_cast<int>(which)];
    return v && v->visible();
}

session::Point WinApp::position(Calculator which) const {
    const POINT p = views_[static_cast<int>(which)]->position();
    return {p.x, p.y};
}

void WinApp::moveTo(Calculator which, session::Point where) {
    views_[static_cast<int>(which)]->moveTo({where.x, where.y});
}

void WinApp::unloadLater(Calculator which) {
    PostMessageW(messageWindow_, kUnload, static_cast<WPARAM>(which), 0);
}

void WinApp::hidePrices() {
    if (priceView_) {
        priceView_->hide();
    }
}

void WinApp::start() {
    session_.start();
    SetTimer(messageWindow_, kSnapshotTimer, 1000, nullptr);
    SetTimer(messageWindow_, kYardTimer, 60 * 1000, nullptr);
}

int WinApp::run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (ledgerView_ && ledgerView_->dialogMessage(msg)) {
            continue; // Tab, Enter and Esc of the ledger window
        }
        if (detailView_ && detailView_->dialogMessage(msg)) {
            continue;
        }
        if (comparisonView_ && comparisonView_->dialogMessage(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void WinApp::exportBegins() {
    cursorBefore_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void WinApp::exportEnds() {
    SetCursor(cursorBefore_);
    // A bill just exported is listed at once in an open ledger.
    if (ledgerView_ && ledgerView_->visible()) {
        ledgerView_->reload();
    }
}

void WinApp::openLedger(Calculator which) {
    if (!ledgerView_) {
        ledgerView_ =
            std::make_unique<LedgerWindow>(instance_, ledger_, *sheet_, session_.bills(), boxes_);
        ledgerView_->onYard = [this] { openYard(); };
    }
    RECT over;
    GetWindowRect(view(which).hwnd(), &over);
    ledgerView_->show({over.left + 40, over.top + 40});
}

void WinApp::openYard() {
    if (!yardWindow_) {
        yardWindow_ = std::make_unique<ledger::YardWindow>(ledger_);
        yardView_ = std::make_unique<FormWindow>(yardWindow_->form(), instance_);
        yardWindow_->onClose = [this] { yardView_->hide(); };
        yardWindow_->onSaid = [this] { yardView_->sync(); };
        yardWindow_->ask = [this](const std::u16string& question) { return boxes_.ask(question); };
        // After a join or a leave the ledger lists the other ledger's bills.
        yardWindow_->onChanged = [this] {
            yardView_->sync();
            if (ledgerView_) {
                ledgerView_->reload();
            }
        };
        RECT over;
        GetWindowRect(ledgerView_ ? ledgerView_->hwnd() : view(Calculator::Grid).hwnd(), &over);
        yardView_->show();
        yardView_->moveTo({over.left + 60, over.top + 60});
    } else {
        yardWindow_->refresh();
    }
    yardView_->sync();
    yardView_->show();
    SetForegroundWindow(yardView_->hwnd());
}

void WinApp::openPhone(Calculator which) {
    if (!phone_) {
        HWND to = messageWindow_;
        phone_ = std::make_unique<phone::PhoneService>(
            session_,
            [to](std::function<void()> task) {
                auto* posted = new std::function<void()>(std::move(task));
                if (!PostMessageW(to, kPhoneTask, 0, reinterpret_cast<LPARAM>(posted))) {
                    delete posted; // the window is gone: the request times out
                }
            },
            phone::keptIn(ledger_.desk()));
        phoneView_ = std::make_unique<FormWindow>(phone_->window().form(), instance_);
        FormWindow* shown = phoneView_.get();
        phone::PhoneWindow* model = &phone_->window();
        shown->onTimer = [model, shown] {
            model->tick();
            shown->sync();
        };
        // Closed by its button or by the platform: the desk listens no more, and the window
        // costs nothing while it rests.
        shown->onClosed = [this] {
            phone_->close();
            phoneView_->stopTimer();
        };
        model->onClose = [this] {
            phoneView_->onClosed();
            phoneView_->hide();
        };
        model->onAddress = [this] { drawCode(); };
        RECT over;
        GetWindowRect(view(which).hwnd(), &over);
        phoneView_->show();
        phoneView_->moveTo({over.left + 60, over.top + 40});
    }
    phone_->open(which);
    phoneView_->startTimer(100);
    phoneView_->sync();
    phoneView_->show();
    drawCode();
    SetForegroundWindow(phoneView_->hwnd());
}

// The code as whole pixels per module, four modules of white around it.
void WinApp::drawCode() {
    if (!phone_ || !phoneView_) {
        return;
    }
    // The code's own picture, over the label that keeps its place, wherever the label is now.
    RECT r{};
    GetWindowRect(
        phoneView_->controlFor(ui::controlWithRole(phone_->window().form(), ui::Role::PhoneCode)),
        &r);
    MapWindowPoints(nullptr, phoneView_->hwnd(), reinterpret_cast<POINT*>(&r), 2);
    const int width = std::max(0, static_cast<int>(r.right - r.left));
    const int height = std::max(0, static_cast<int>(r.bottom - r.top));
    if (!codeView_) {
        codeView_ = CreateWindowExW(
            0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_CENTERIMAGE, r.left,
            r.top, width, height, phoneView_->hwnd(), nullptr, instance_, nullptr);
    } else {
        SetWindowPos(codeView_, HWND_TOP, r.left, r.top, width, height, SWP_NOACTIVATE);
    }
    const std::string& address = phone_->window().address();
    HBITMAP old = code_;
    code_ = nullptr;
    if (!address.empty()) {
        const phone::QrMatrix m = phone::qrCode(address);
        const int modules = m.side();
        // A window not laid out yet still gets a code a camera reads.
        const int room = std::min(width, height);
        const int scale = std::max(4, room / modules);
        const int side = modules * scale;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = side;
        info.bmiHeader.biHeight = -side;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        code_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        auto* pixels = static_cast<std::uint32_t*>(bits);
        for (int y = 0; pixels && y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                pixels[static_cast<std::size_t>(y) * side + x] =
                    m.darkAt(x / scale, y / scale) ? 0x000000 : 0xFFFFFF;
            }
        }
    }
    SendMessageW(codeView_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(code_));
    if (old) {
        DeleteObject(old);
    }
}

void WinApp::openComparison(Calculator which) {
    if (!comparisonView_) {
        comparisonView_ = std::make_unique<ComparisonWindow>(instance_, session_);
    }
    RECT over;
    GetWindowRect(view(which).hwnd(), &over);
    comparisonView_->show(which, {over.left + 40, over.top + 40});
}

void WinApp::openPriceDetail(Calculator which) {
    if (!detailView_) {
        detailView_ = std::make_unique<PriceDetailWindow>(instance_, session_);
    }
    RECT over;
    GetWindowRect(view(which).hwnd(), &over);
    detailView_->show(which, {over.left + 60, over.top + 60});
}

void WinApp::showPriceLists(prices::ListEditor& editor) {
    if (listsView_ && listsModel_ != &editor) {
        listsView_.reset();
    }
    if (!listsView_) {
        listsModel_ = &editor;
        listsView_ = std::make_unique<FormWindow>(editor.form(), instance_);
        listsView_->onClosed = [this] { session_.priceListsClosedByPlatform(); };
        RECT over;
        GetWindowRect(view(Calculator::Grid).hwnd(), &over);
        listsView_->show();
        listsView_->moveTo({over.left + 80, over.top + 60});
    }
    listsView_->sync();
    listsView_->show();
    SetForegroundWindow(listsView_->hwnd());
}

void WinApp::hidePriceLists() {
    if (listsView_) {
        listsView_->hide();
    }
}

void WinApp::openManual(Calculator which) {
    std::error_code ec;
    if (fs::exists(options_.manual, ec)) {
        // The shell drops the section of a file address it opens itself, so the browser that
        // opens .html files is given the address; the shell opens the file where none is named.
        const std::wstring url =
            wide(ui::manualUrl(options_.manual.u16string(), ui::manualSection(which)));
        wchar_t browser[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (SUCCEEDED(AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, L".html", L"open",
                                        browser, &size)) &&
            reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", browser,
                                                    (L"\"" + url + L"\"").c_str(), nullptr,
                                                    SW_SHOWNORMAL)) > 32) {
            return;
        }
        if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr,
                                                    SW_SHOWNORMAL)) > 32 ||
            reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", options_.manual.c_str(),
                                                    nullptr, nullptr, SW_SHOWNORMAL)) > 32) {
            return;
        }
    }
    boxes_.message(std::u16string(ui::kManualNotOpened) + text::pathText(options_.manual));
}

void WinApp::showPrices(prices::PriceWindow& window) {
    if (!priceView_) {
        // A window of its own, as on Linux, not one owned by the grid: an owned window is a
        // transient of the grid for the X window manager under Wine, which minimises the two
        // together, where a trader minimising the price window wants only it to go.
        priceView_ = std::make_unique<FormWindow>(window.form(), instance_);
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
    const session::Point at = session::pricePlacement(
        {grid.left, grid.top, grid.right - grid.left, grid.bottom - grid.top},
        {price.left, price.top, price.right - price.left, price.bottom - price.top},
        [dpi](int twips) { return FormWindow::px(twips, dpi); });
    priceView_->show();
    priceView_->moveTo({at.x, at.y});
}

} // namespace logora::win
