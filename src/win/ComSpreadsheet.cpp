// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/ComSpreadsheet.hpp"

#include "text/PathText.hpp"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace logora::win {

namespace fs = std::filesystem;
using exporting::CellValue;
using exporting::ExportError;

std::vector<OfficeChoice> defaultOffices() {
    return {{L"Excel.Application", u"Excel"},
            {L"KET.Application", u"WPS 表格"},
            {L"ET.Application", u"WPS 表格"}};
}

namespace {

// A failed automation call: the application's own words, for the message's second line.
class ComError : public std::runtime_error {
  public:
    ComError(const std::wstring& call, HRESULT hr, const std::wstring& description)
        : std::runtime_error("automation call failed"), detail_(text(call, hr, description)) {}
    const std::u16string& detail() const { return detail_; }

  private:
    static std::u16string text(const std::wstring& call, HRESULT hr,
                               const std::wstring& description) {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        std::wstring out = call + L": " + code;
        if (!description.empty()) {
            out += L" " + description;
        }
        return std::u16string(out.begin(), out.end());
    }
    std::u16string detail_;
};

// One argument or result of a call, cleared when it goes.
class Variant {
  public:
    Variant() { VariantInit(&v_); }
    explicit Variant(double number) : Variant() {
        v_.vt = VT_R8;
        v_.dblVal = number;
    }
    explicit Variant(int number) : Variant() {
        v_.vt = VT_I4;
        v_.lVal = number;
    }
    explicit Variant(bool flag) : Variant() {
        v_.vt = VT_BOOL;
        v_.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    }
    explicit Variant(std::u16string_view text) : Variant() {
        v_.vt = VT_BSTR;
        v_.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                       static_cast<UINT>(text.size()));
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v_); }
    VARIANT* get() { return &v_; }
    // The object the call returned; the caller releases it.
    IDispatch* takeObject() {
        if (v_.vt != VT_DISPATCH || v_.pdispVal == nullptr) {
            return nullptr;
        }
        IDispatch* object = v_.pdispVal;
        object->AddRef();
        return object;
    }
    bool truth() const { return v_.vt == VT_BOOL && v_.boolVal != VARIANT_FALSE; }

  private:
    VARIANT v_;
};

// object.name(args...) by IDispatch, the arguments in their natural order.
void invoke(IDispatch* object, const wchar_t* name, WORD flags, Variant* result,
            std::initializer_list<Variant*> args = {}) {
    if (object == nullptr) {
        throw ComError(name, E_POINTER, L"no object");
    }
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        throw ComError(name, hr, L"unknown name");
    }
    std::vector<VARIANT> reversed;
    for (auto it = args.end(); it != args.begin();) {
        reversed.push_back(*(*--it)->get());
    }
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO info{};
    UINT badArgument = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                        result != nullptr ? result->get() : nullptr, &info, &badArgument);
    if (FAILED(hr)) {
        std::wstring description;
        if (info.bstrDescription != nullptr) {
            description = info.bstrDescription;
        }
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
        throw ComError(name, hr, description);
    }
}

IDispatch* getObject(IDispatch* object, const wchar_t* name,
                     std::initializer_list<Variant*> args = {}) {
    Variant result;
    invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &result, args);
    IDispatch* out = result.takeObject();
    if (out == nullptr) {
        throw ComError(name, E_NOINTERFACE, L"not an object");
    }
    return out;
}

void release(IDispatch*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

} // namespace

// The application's objects, held and released on the COM thread only.
struct ComSpreadsheet::Objects {
    IDispatch* app = nullptr;
    IDispatch* workbooks = nullptr;
    IDispatch* workbook = nullptr;
    IDispatch* sheet = nullptr;
    std::u16string name;
    void closeWorkbook() {
        if (workbook != nullptr) {
            Variant noSave(false);
            try {
                invoke(workbook, L"Close", DISPATCH_METHOD, nullptr, {&noSave});
            } catch (const ComError&) {
                // Gone already: nothing is left open.
            }
        }
        release(sheet);
        release(workbook);
    }
    void releaseAll() {
        release(sheet);
        release(workbook);
        release(workbooks);
        release(app);
    }
};

// A thread in the multithreaded apartment that runs the calls one at a time. Given up after
// a call overran its limit, it ends by itself once that call returns.
class ComSpreadsheet::Thread {
  public:
    Thread() : state_(std::make_shared<State>()) {
        thread_ = std::thread([state = state_] { loop(*state); });
    }
    ~Thread() {
        {
            std::lock_guard lock(state_->mutex);
            state_->stop = true;
        }
        state_->cv.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    std::future<void> post(std::function<void(Objects&)> step) {
        auto task = std::make_shared<std::packaged_task<void(Objects&)>>(std::move(step));
        std::future<void> done = task->get_future();
        {
            std::lock_guard lock(state_->mutex);
            state_->queue.push_back(task);
        }
        state_->cv.notify_all();
        return done;
    }
    void giveUp() {
        {
            std::lock_guard lock(state_->mutex);
            state_->stop = true;
        }
        state_->cv.notify_all();
        thread_.detach();
    }

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        std::deque<std::shared_ptr<std::packaged_task<void(Objects&)>>> queue;
        bool stop = false;
        Objects objects;
    };
    static void loop(State& state) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (;;) {
            std::shared_ptr<std::packaged_task<void(Objects&)>> task;
            {
                std::unique_lock lock(state.mutex);
                state.cv.wait(lock, [&] { return state.stop || !state.queue.empty(); });
                if (state.stop) {
                    break;
                }
                task = state.queue.front();
                state.queue.pop_front();
            }
            (*task)(state.objects);
        }
        state.objects.releaseAll();
        CoUninitialize();
    }
    std::shared_ptr<State> state_;
    std::thread thread_;
};

ComSpreadsheet::ComSpreadsheet(std::vector<OfficeChoice> offices, std::chrono::milliseconds limit)
    : offices_(std::move(offices)), limit_(limit) {}

ComSpreadsheet::~ComSpreadsheet() = default;

std::u16string ComSpreadsheet::shownPath() const {
    return text::pathText(path_);
}

void ComSpreadsheet::run(const std::function<void(Objects&)>& step) {
    if (!thread_) {
        thread_ = std::make_shared<Thread>();
    }
    std::future<void> done = thread_->post(step);
    if (done.wait_for(limit_) != std::future_status::ready) {
        // The application hangs in this call: its thread is left to it, the next export
        // starts a new one.
        thread_->giveUp();
        thread_.reset();
        const std::u16string who = name_.empty() ? u"Excel" : name_;
        throw ExportError(who + u" 没有响应，账单 " + shownPath() + u" 没有保存。请再导出一次。",
                          u"automation call over its time limit");
    }
    done.get();
}

namespace {

ExportError noApplication() {
    return ExportError(u"未找到 Excel 或 WPS 表格，无法导出账单。"
                       u"请安装 Microsoft Excel 或 WPS Office，再导出一次。",
                       {}, ExportError::Kind::Refused);
}

} // namespace

// Looked up in the registry only: nothing is started.
std::optional<ExportError> ComSpreadsheet::missing() const {
    for (const OfficeChoice& office : offices_) {
        CLSID clsid;
        if (SUCCEEDED(CLSIDFromProgID(office.progId.c_str(), &clsid))) {
            return std::nullopt;
        }
    }
    return noApplication();
}

void ComSpreadsheet::start() {
    // Shared with the call, which may outlive this one if the application hangs.
    auto started = std::make_shared<std::u16string>();
    const std::vector<OfficeChoice> offices = offices_;
    run([offices, started](Objects& o) {
        if (o.app != nullptr) {
            // A warm application that the user closed or that died answers no more.
            try {
                Variant visible;
                invoke(o.app, L"Visible", DISPATCH_PROPERTYGET, &visible);
                *started = o.name;
                return;
            } catch (const ComError&) {
                o.releaseAll();
            }
        }
        bool installed = false;
        std::u16string detail;
        for (const OfficeChoice& office : offices) {
            CLSID clsid;
            if (FAILED(CLSIDFromProgID(office.progId.c_str(), &clsid))) {
                continue;
            }
            installed = true;
            IDispatch* app = nullptr;
            const HRESULT hr =
                CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                 IID_IDispatch, reinterpret_cast<void**>(&app));
            if (FAILED(hr) || app == nullptr) {
                detail = ComError(office.progId, hr, L"CoCreateInstance").detail();
                continue;
            }
            o.app = app;
            o.name = office.name;
            try {
                // No question of the application's may stop an export half-way.
                Variant no(false);
                invoke(o.app, L"DisplayAlerts", DISPATCH_PROPERTYPUT, nullptr, {&no});
            } catch (const ComError&) {
                // Not every application has it; nothing depends on it.
            }
            try {
                o.workbooks = getObject(o.app, L"Workbooks");
            } catch (const ComError& e) {
                o.releaseAll();
                detail = e.detail();
                continue;
            }
            *started = o.name;
            return;
        }
        if (!installed) {
            throw noApplication();
        }
        throw ExportError(u"Excel 或 WPS 表格无法启动，账单没有导出。"
                          u"请确认它能正常打开，再导出一次。",
                          detail);
    });
    name_ = *started;
}

void ComSpreadsheet::openWorkbook(const fs::path& path) {
    path_ = path;
    const std::u16string shown = shownPath();
    const std::u16string full = text::pathText(fs::absolute(path));
    run([shown, full](Objects& o) {
        o.closeWorkbook();
        Variant file(full);
        try {
            o.workbook = getObject(o.workbooks, L"Open", {&file});
        } catch (const ComError& e) {
            throw ExportError(u"账单文件 " + shown + u" 已损坏，无法打开。", e.detail(),
                              ExportError::Kind::Damaged);
        }
        Variant readOnly;
        try {
            invoke(o.workbook, L"ReadOnly", DISPATCH_PROPERTYGET, &readOnly);
        } catch (const ComError&) {
            // Not told: the save says it if the file cannot be written.
        }
        if (readOnly.truth()) {
            // Someone else has it open: the application could only open a copy.
            o.closeWorkbook();
            throw ExportError(u"账单 " + shown +
                                  u" 正在被别的程序打开，这次没有导出。请先在那里关闭这个账单，"
                                  u"再导出一次。",
                              u"Workbooks.Open: read-only", ExportError::Kind::Refused);
        }
    });
}

void ComSpreadsheet::selectSheet(std::u16string_view name) {
    const std::u16string sheet(name);
    const std::u16string shown = shownPath();
    run([sheet, shown](Objects& o) {
        release(o.sheet);
        Variant which(std::u16string_view{sheet});
        try {
            o.sheet = getObject(o.workbook, L"Worksheets", {&which});
        } catch (const ComError& e) {
            throw ExportError(u"账单文件 " + shown + u" 里没有工作表“" + sheet +
                                  u"”，它可能已损坏，或被换成了别的文件。",
                              e.detail(), ExportError::Kind::Damaged);
        }
    });
}

void ComSpreadsheet::setCell(int row, int column, const CellValue& value) {
    const std::u16string shown = shownPath();
    const std::u16string who = name_;
    run([row, column, value, shown, who](Objects& o) {
        try {
            Variant r(row);
            Variant c(column);
            IDispatch* cell = getObject(o.sheet, L"Cells", {&r, &c});
            Variant v;
            if (value.kind == CellValue::Kind::Number) {
                Variant number(value.number);
                invoke(cell, L"Value", DISPATCH_PROPERTYPUT, nullptr, {&number});
            } else if (value.kind == CellValue::Kind::Text) {
                // Excel and WPS read a text put into Value as if it were typed into the cell:
                // in a General cell "13800138000" becomes a number, "1/2" a date, "=..." a
                // formula. A cell of the Text format keeps what it is given ("@", the text
                // placeholder of Range.NumberFormat; Microsoft's "Format numbers as text").
                if (exporting::needsTextFormat(value.text)) {
                    Variant textFormat(std::u16string_view{u"@"});
                    invoke(cell, L"NumberFormat", DISPATCH_PROPERTYPUT, nullptr, {&textFormat});
                }
                Variant text(std::u16string_view{value.text});
                invoke(cell, L"Value", DISPATCH_PROPERTYPUT, nullptr, {&text});
            } else {
                invoke(cell, L"Value", DISPATCH_PROPERTYPUT, nullptr, {&v});
            }
            cell->Release();
        } catch (const ComError& e) {
            throw ExportError(who + u" 没能写入账单 " + shown + u"，账单没有保存。请再导出一次。",
                              e.detail());
        }
    });
}

void ComSpreadsheet::save() {
    const std::u16string shown = shownPath();
    run([shown](Objects& o) {
        try {
            invoke(o.workbook, L"Save", DISPATCH_METHOD, nullptr);
        } catch (const ComError& e) {
            throw ExportError(u"账单 " + shown +
                                  u" 无法保存，这次没有导出。请让这个文件可写，再导出一次。",
                              e.detail(), ExportError::Kind::Refused);
        }
    });
}

void ComSpreadsheet::exportPdf(const fs::path& pdf) {
    const std::u16string target = text::pathText(fs::absolute(pdf));
    const std::u16string who = name_;
    run([target, who](Objects& o) {
        try {
            Variant pdfType(0); // xlTypePDF
            Variant file(std::u16string_view{target});
            invoke(o.sheet != nullptr ? o.sheet : o.workbook, L"ExportAsFixedFormat",
                   DISPATCH_METHOD, nullptr, {&pdfType, &file});
        } catch (const ComError& e) {
            throw ExportError(who + u" 无法把账单存成 PDF。", e.detail(),
                              ExportError::Kind::Refused);
        }
    });
}

void ComSpreadsheet::closeAll() {
    if (thread_) {
        run([](Objects& o) { o.closeWorkbook(); });
    }
}

void ComSpreadsheet::showToUser(const fs::path& path) {
    const std::u16string full = text::pathText(fs::absolute(path));
    const std::u16string who = name_;
    run([full, who](Objects& o) {
        try {
            Variant file(std::u16string_view{full});
            IDispatch* shown = getObject(o.workbooks, L"Open", {&file});
            shown->Release();
            Variant yes(true);
            invoke(o.app, L"Visible", DISPATCH_PROPERTYPUT, nullptr, {&yes});
            invoke(o.app, L"UserControl", DISPATCH_PROPERTYPUT, nullptr, {&yes});
        } catch (const ComError& e) {
            throw ExportError(u"账单已保存在 " + full + u"，但 " + who +
                                  u" 没能打开它。请在资源管理器里打开这个文件来打印。",
                              e.detail(), ExportError::Kind::Refused);
        }
        // The user has the application now; the next export starts its own.
        o.releaseAll();
    });
}

void ComSpreadsheet::abandon() {
    if (!thread_) {
        return;
    }
    try {
        run([](Objects& o) {
            o.closeWorkbook();
            if (o.app != nullptr) {
                try {
                    invoke(o.app, L"Quit", DISPATCH_METHOD, nullptr);
                } catch (const ComError&) {
                    // Gone already.
                }
            }
            o.releaseAll();
        });
    } catch (const ExportError&) {
        // It hangs: its thread was given up, and the next export starts a new one.
    }
}

} // namespace logora::win
