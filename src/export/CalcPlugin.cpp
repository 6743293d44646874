// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/CalcPlugin.hpp"

#include "text/NumberText.hpp"

#include <dlfcn.h>

namespace logora::exporting {

namespace fs = std::filesystem;

CalcPluginLoad tryLoadCalcPlugin(const std::vector<fs::path>& candidates,
                                 const fs::path& officeProgram) {
    std::error_code ec;
    const bool officeInstalled = fs::exists(officeProgram, ec);
    std::u16string detail;
    bool found = false;
    for (const auto& path : candidates) {
        if (!fs::exists(path, ec)) {
            continue;
        }
        found = true;
        // Fails when LibreOffice's own libraries are not installed, or are of another make.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = ::dlerror();
            detail = text::fromUtf8(why != nullptr ? why : path.string());
            continue;
        }
        using Create = Spreadsheet* (*)();
        auto create = reinterpret_cast<Create>(::dlsym(handle, "logora_calc_create"));
        if (create != nullptr) {
            // The library stays loaded for the rest of the run.
            return {std::unique_ptr<Spreadsheet>(create()), {}, {}};
        }
        detail = text::fromUtf8(path.string()) + u": no logora_calc_create";
        ::dlclose(handle);
    }
    if (!officeInstalled) {
        return {nullptr, std::u16string(kNoCalc), detail};
    }
    if (!found) {
        std::u16string where;
        for (const auto& path : candidates) {
            where += (where.empty() ? u"" : u", ") + text::fromUtf8(path.string());
        }
        return {nullptr,
                u"找不到 Logora 的 LibreOffice 插件（liblogora_calc.so），无法导出账单。"
                u"请重新安装 Logora，再导出一次。",
                u"not found: " + where};
    }
    return {nullptr,
            u"Logora 的 LibreOffice 插件无法加载，无法导出账单。"
            u"请重新安装 Logora（LibreOffice 升级后也需要），再导出一次。",
            detail};
}

std::unique_ptr<Spreadsheet> loadCalcPlugin(const std::vector<fs::path>& candidates) {
    CalcPluginLoad load = tryLoadCalcPlugin(candidates);
    if (load.spreadsheet) {
        return std::move(load.spreadsheet);
    }
    return std::make_unique<MissingSpreadsheet>(load.why, load.detail);
}

} // namespace logora::exporting
