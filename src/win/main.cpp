// SPDX-License-Identifier: GPL-3.0-or-later
// Logora for Windows: the calculators as native windows over the same core as on Linux.
#include "text/PathText.hpp"
#include "win/WinApp.hpp"

#include <commctrl.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <exception>

namespace fs = std::filesystem;
using namespace logora;

namespace {

fs::path knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    fs::path out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path))) {
        out = path;
    }
    CoTaskMemFree(path);
    return out;
}

fs::path programFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    return fs::path(path).parent_path();
}

// A folder named by the environment, for tests and portable use; else the given one.
fs::path overridden(const wchar_t* variable, fs::path fallback) {
    wchar_t value[MAX_PATH * 4] = {};
    const DWORD n = GetEnvironmentVariableW(variable, value, static_cast<DWORD>(std::size(value)));
    return n > 0 && n < std::size(value) ? fs::path(value) : fallback;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    const fs::path program = programFolder();
    const fs::path prices =
        overridden(L"LOGORA_PRICE_FOLDER", knownFolder(FOLDERID_RoamingAppData) / L"Logora");
    const fs::path bills =
        overridden(L"LOGORA_BILL_FOLDER", knownFolder(FOLDERID_Documents) / L"Logora");
    int status = 0;
    try {
        win::BoxMessages boxes;
        {
            // An earlier installation kept its prices in C:\; they are read, never written.
            prices::FilePriceStore own(prices);
            const prices::FilePriceStore earlier(overridden(L"LOGORA_EARLIER_PRICES", L"C:\\"));
            const prices::StoreLoad taken = prices::takeOverPrices(own, earlier);
            for (const std::u16string& problem : taken.problems) {
                boxes.message(problem);
            }
        }
        win::WinApp app(instance,
                        {prices, bills, program / L"bills", bills, program / L"manual.html"});
        app.start();
        status = app.run();
    } catch (const std::exception& e) {
        const std::u16string text = u"Logora 无法运行：\n" + text::fromUtf8(e.what());
        MessageBoxW(nullptr, win::wide(text).c_str(), L"Logora", MB_OK | MB_ICONERROR);
        status = 1;
    }
    CoUninitialize();
    return status;
}
