// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in spreadsheet application for the tests: an in-process automation server that
// registers itself under Excel's or WPS's ProgID and answers the calls the export makes
// (Workbooks.Open, Worksheets(name), Cells(row, column).Value and .NumberFormat, Save,
// ExportAsFixedFormat, Visible, Close, Quit). A text put into a General cell is read as
// Excel reads it, so a test sees a phone number turned into a number. Every call is logged; Save
// writes the cells beside the workbook, so a test reads back what the real OLE runtime delivered.
//
// Set by the environment of the process that loads it:
//   LOGORA_STANDIN_LOG       file the calls are appended to (UTF-8, a line each)
//   LOGORA_STANDIN_PROGIDS   names registered by DllRegisterServer ("Excel.Application")
//   LOGORA_STANDIN_HANG      a call that never returns in time ("Save")
//   LOGORA_STANDIN_READONLY  "1": workbooks open read-only, as when someone else has them
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

namespace {

// {6B1F1C52-3A0E-4C57-9D38-5E2B7F0A11C4}
const CLSID kClsid = {0x6b1f1c52, 0x3a0e, 0x4c57, {0x9d, 0x38, 0x5e, 0x2b, 0x7f, 0x0a, 0x11, 0xc4}};
HMODULE module = nullptr;
LONG objects = 0;

std::wstring env(const wchar_t* name) {
    wchar_t value[4096] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 4096);
    return n > 0 && n < 4096 ? std::wstring(value, n) : std::wstring();
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

void log(const std::wstring& line) {
    const std::wstring file = env(L"LOGORA_STANDIN_LOG");
    if (file.empty()) {
        return;
    }
    if (FILE* f = _wfopen(file.c_str(), L"ab")) {
        const std::string text = utf8(line) + "\n";
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

void hangIf(const std::wstring& call) {
    if (env(L"LOGORA_STANDIN_HANG") == call) {
        log(L"hang " + call);
        Sleep(60000);
    }
}

std::wstring textOf(const VARIANT* v) {
    VARIANT copy;
    VariantInit(&copy);
    if (v == nullptr || FAILED(VariantChangeType(&copy, const_cast<VARIANT*>(v), 0, VT_BSTR))) {
        return {};
    }
    std::wstring out(copy.bstrVal, SysStringLen(copy.bstrVal));
    VariantClear(&copy);
    return out;
}

int intOf(const VARIANT* v) {
    VARIANT copy;
    VariantInit(&copy);
    if (v == nullptr || FAILED(VariantChangeType(&copy, const_cast<VARIANT*>(v), 0, VT_I4))) {
        return 0;
    }
    return copy.lVal;
}

std::vector<std::wstring>& names() {
    static std::vector<std::wstring> table;
    return table;
}

HRESULT fail(EXCEPINFO* info, const std::wstring& why) {
    if (info != nullptr) {
        *info = {};
        info->bstrDescription = SysAllocString(why.c_str());
        info->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}

// The late-bound part every object shares: names to numbers, numbers back to names.
class Object : public IDispatch {
  public:
    Object() { InterlockedIncrement(&objects); }
    virtual ~Object() { InterlockedDecrement(&objects); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* asked, UINT count, LCID,
                                            DISPID* ids) override {
        for (UINT i = 0; i < count; ++i) {
            auto& table = names();
            std::wstring name = asked[i];
            std::size_t at = 0;
            while (at < table.size() && table[at] != name) {
                ++at;
            }
            if (at == table.size()) {
                table.push_back(name);
            }
            ids[i] = static_cast<DISPID>(at + 1);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT*) override {
        if (id < 1 || static_cast<std::size_t>(id) > names().size()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        std::vector<const VARIANT*> args; // natural order; a put's value comes last
        for (UINT i = params->cArgs; i > params->cNamedArgs; --i) {
            args.push_back(&params->rgvarg[i - 1]);
        }
        if (params->cNamedArgs == 1) {
            args.push_back(&params->rgvarg[0]);
        }
        if (result != nullptr) {
            VariantInit(result);
        }
        return call(names()[static_cast<std::size_t>(id - 1)], flags, args, result, info);
    }

  protected:
    virtual HRESULT call(const std::wstring& name, WORD flags,
                         const std::vector<const VARIANT*>& args, VARIANT* result,
                         EXCEPINFO* info) = 0;
    static HRESULT truth(VARIANT* result, bool value) {
        result->vt = VT_BOOL;
        result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    static void object(VARIANT* result, IDispatch* value) {
        if (result != nullptr) {
            result->vt = VT_DISPATCH;
            result->pdispVal = value;
        } else {
            value->Release();
        }
    }

  private:
    LONG refs_ = 1;
};

struct Book;

class Cell : public Object {
  public:
    Cell(Book* book, std::wstring sheet, int row, int column);
    ~Cell() override;

  protected:
    HRESULT call(const std::wstring& name, WORD flags, const std::vector<const VARIANT*>& args,
                 VARIANT* result, EXCEPINFO* info) override;

  private:
    Book* book_;
    std::wstring sheet_;
    int row_, column_;
};

class Sheet : public Object {
  public:
    Sheet(Book* book, std::wstring name);
    ~Sheet() override;

  protected:
    HRESULT call(const std::wstring& name, WORD, const std::vector<const VARIANT*>& args,
                 VARIANT* result, EXCEPINFO* info) override {
        if (name == L"Cells" && args.size() == 2) {
            object(result, new Cell(book_, name_, intOf(args[0]), intOf(args[1])));
            return S_OK;
        }
        if (name == L"ExportAsFixedFormat") {
            return exportPdf(args, info);
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT exportPdf(const std::vector<const VARIANT*>& args, EXCEPINFO* info) {
        const std::wstring path = args.size() > 1 ? textOf(args[1]) : L"";
        log(L"ExportAsFixedFormat " + path);
        FILE* f = _wfopen(path.c_str(), L"wb");
        if (f == nullptr) {
            return fail(info, L"cannot write " + path);
        }
        std::fputs("%PDF-1.4\n% stand-in\n", f);
        std::fclose(f);
        return S_OK;
    }

  private:
    Book* book_;
    std::wstring name_;
};

struct Book : Object {
    std::wstring path;
    bool readOnly = false;
    std::map<std::tuple<std::wstring, int, int>, std::wstring> cells;
    std::map<std::tuple<std::wstring, int, int>, std::wstring> formats; // NumberFormat put

  protected:
    HRESULT call(const std::wstring& name, WORD, const std::vector<const VARIANT*>& args,
                 VARIANT* result, EXCEPINFO* info) override {
        if (name == L"Worksheets" && args.size() == 1) {
            const std::wstring sheet = textOf(args[0]);
            log(L"Worksheets " + sheet);
            for (const wchar_t* known : {L"原木一", L"原木二", L"锯材账单"}) {
                if (sheet == known) {
                    object(result, new Sheet(this, sheet));
                    return S_OK;
                }
            }
            return fail(info, L"no sheet " + sheet);
        }
        if (name == L"ReadOnly") {
            return truth(result, readOnly);
        }
        if (name == L"Save") {
            log(L"Save");
            hangIf(L"Save");
            return writeCells(info);
        }
        if (name == L"Close") {
            log(L"Close");
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    // "<workbook>.cells.txt": sheet, row, column and value, a line per cell written.
    HRESULT writeCells(EXCEPINFO* info) {
        FILE* f = _wfopen((path + L".cells.txt").c_str(), L"wb");
        if (f == nullptr) {
            return fail(info, L"cannot save " + path);
        }
        for (const auto& [key, value] : cells) {
            const auto& [sheet, row, column] = key;
            const std::string line = utf8(sheet) + "\t" + std::to_string(row) + "\t" +
                                     std::to_string(column) + "\t" + utf8(value) + "\n";
            std::fwrite(line.data(), 1, line.size(), f);
        }
        std::fclose(f);
        return S_OK;
    }
};

Sheet::Sheet(Book* book, std::wstring name) : book_(book), name_(std::move(name)) {
    book_->AddRef();
}
Sheet::~Sheet() {
    book_->Release();
}

Cell::Cell(Book* book, std::wstring sheet, int row, int column)
    : book_(book), sheet_(std::move(sheet)), row_(row), column_(column) {
    book_->AddRef();
}
Cell::~Cell() {
    book_->Release();
}

namespace {

bool matches(const std::wstring& text, const wchar_t* pattern) {
    return std::regex_match(text, std::wregex(pattern));
}

// A text put into Value of a General cell, read as Excel reads what is typed: a formula, a
// number (leading zeros and all), a date or fraction; a leading apostrophe marks a text and
// is not part of it. f: a formula, d: a date, n: a number, s: a text.
std::wstring asExcelReadsIt(const std::wstring& text) {
    if (!text.empty() && text[0] == L'\'') {
        return L"s:" + text.substr(1);
    }
    if (!text.empty() && (text[0] == L'=' || text[0] == L'+' || text[0] == L'@')) {
        return L"f:" + text;
    }
    if (matches(text, L"[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?%?")) {
        wchar_t number[64];
        swprintf(number, 64, L"n:%.17g", std::wcstod(text.c_str(), nullptr));
        return number;
    }
    if (matches(text,
                L"[0-9]{1,4}[-/][0-9]{1,2}([-/][0-9]{1,4})?|[0-9]{1,2}:[0-9]{2}(:[0-9]{2})?")) {
        return L"d:" + text;
    }
    return L"s:" + text;
}

} // namespace

HRESULT Cell::call(const std::wstring& name, WORD flags, const std::vector<const VARIANT*>& args,
                   VARIANT*, EXCEPINFO*) {
    if (name == L"NumberFormat" && (flags & DISPATCH_PROPERTYPUT) != 0 && !args.empty()) {
        book_->formats[{sheet_, row_, column_}] = textOf(args.back());
        return S_OK;
    }
    if (name != L"Value" || (flags & DISPATCH_PROPERTYPUT) == 0 || args.empty()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    // The value as the application keeps it: n: a number (VT_R8), s: a text (VT_BSTR, kept
    // as it came only in a cell of the Text format "@"), e: empty.
    const VARIANT* v = args.back();
    const auto format = book_->formats.find({sheet_, row_, column_});
    const bool textFormat = format != book_->formats.end() && format->second == L"@";
    std::wstring value;
    if (v->vt == VT_R8) {
        wchar_t number[64];
        swprintf(number, 64, L"n:%.17g", v->dblVal);
        value = number;
    } else if (v->vt == VT_BSTR) {
        const std::wstring text(v->bstrVal, SysStringLen(v->bstrVal));
        value = textFormat ? L"s:" + text : asExcelReadsIt(text);
    } else if (v->vt == VT_EMPTY) {
        value = L"e:";
    } else {
        value = L"?:" + std::to_wstring(v->vt);
    }
    book_->cells[{sheet_, row_, column_}] = value;
    return S_OK;
}

class Books : public Object {
  protected:
    HRESULT call(const std::wstring& name, WORD, const std::vector<const VARIANT*>& args,
                 VARIANT* result, EXCEPINFO* info) override {
        if (name != L"Open" || args.empty()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        const std::wstring path = textOf(args[0]);
        log(L"Open " + path);
        hangIf(L"Open");
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            return fail(info, L"cannot find " + path);
        }
        auto* book = new Book;
        book->path = path;
        book->readOnly = env(L"LOGORA_STANDIN_READONLY") == L"1";
        object(result, book);
        return S_OK;
    }
};

class App : public Object {
  protected:
    HRESULT call(const std::wstring& name, WORD flags, const std::vector<const VARIANT*>& args,
                 VARIANT* result, EXCEPINFO*) override {
        if (name == L"Workbooks") {
            object(result, new Books);
            return S_OK;
        }
        if ((flags & DISPATCH_PROPERTYPUT) != 0 && !args.empty()) {
            log(name + L" " + textOf(args.back()));
            if (name == L"Visible") {
                visible_ = intOf(args.back()) != 0;
            }
            return S_OK;
        }
        if (name == L"Visible") {
            return truth(result, visible_);
        }
        if (name == L"Quit") {
            log(L"Quit");
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

  private:
    bool visible_ = false;
};

class Factory : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        log(L"CreateInstance");
        auto* app = new App;
        const HRESULT hr = app->QueryInterface(iid, out);
        app->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

std::wstring clsidText() {
    wchar_t text[64] = {};
    StringFromGUID2(kClsid, text, 64);
    return text;
}

bool setKey(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG r = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
}

std::vector<std::wstring> progIds() {
    std::wstring list = env(L"LOGORA_STANDIN_PROGIDS");
    if (list.empty()) {
        list = L"Excel.Application";
    }
    std::vector<std::wstring> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = list.find(L',', start);
        const std::wstring item = list.substr(start, comma - start);
        if (!item.empty()) {
            out.push_back(item);
        }
        if (comma == std::wstring::npos) {
            break;
        }
        start = comma + 1;
    }
    return out;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        module = instance;
    }
    return TRUE;
}

HRESULT WINAPI StandInGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    static Factory factory;
    if (clsid != kClsid) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(iid, out);
}

HRESULT WINAPI StandInCanUnloadNow() {
    return objects == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI StandInRegister() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(module, path, MAX_PATH * 4);
    const std::wstring clsid = clsidText();
    bool ok = setKey(L"CLSID\\" + clsid + L"\\InprocServer32", nullptr, path) &&
              setKey(L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel", L"Both");
    for (const std::wstring& progId : progIds()) {
        ok = ok && setKey(progId + L"\\CLSID", nullptr, clsid);
    }
    return ok ? S_OK : E_FAIL;
}

HRESULT WINAPI StandInUnregister() {
    for (const wchar_t* progId : {L"Excel.Application", L"KET.Application", L"ET.Application"}) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, progId);
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsidText()).c_str());
    return S_OK;
}

} // extern "C"
