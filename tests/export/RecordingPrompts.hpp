// SPDX-License-Identifier: GPL-3.0-or-later
// Export prompts that record what the user was told and answer every question alike, for
// the core, office, COM and Qt tests.
#pragma once

#include "export/BillExport.hpp"

#include <string>
#include <vector>

namespace logora::testing {

struct RecordingPrompts : exporting::ExportPrompts {
    std::vector<std::u16string> reminders, failures, questions;
    bool answer = true;
    void remind(const std::u16string& t) override { reminders.push_back(t); }
    void failed(const std::u16string& t) override { failures.push_back(t); }
    bool ask(const std::u16string& q) override {
        questions.push_back(q);
        return answer;
    }
};

} // namespace logora::testing
