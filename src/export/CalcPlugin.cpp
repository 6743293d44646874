#include "export/CalcPlugin.hpp"

#include <dlfcn.h>

namespace logora::exporting {

std::unique_ptr<Spreadsheet> loadCalcPlugin(const std::vector<std::filesystem::path>& candidates) {
    for (const auto& path : candidates) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) {
            continue;
        }
        // Fails when LibreOffice's own libraries are not installed.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            continue;
        }
        using Create = Spreadsheet* (*)();
        auto create = reinterpret_cast<Create>(::dlsym(handle, "logora_calc_create"));
        if (create != nullptr) {
            // The library stays loaded for the rest of the run.
            return std::unique_ptr<Spreadsheet>(create());
        }
        ::dlclose(handle);
    }
    return std::make_unique<MissingSpreadsheet>(std::u16string(kNoCalc));
}

} // namespace logora::exporting
