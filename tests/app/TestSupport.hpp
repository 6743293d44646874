// SPDX-License-Identifier: GPL-3.0-or-later
// Shared helpers of the Qt tests: an application on a temporary price folder.
#pragma once

#include "../export/RecordingPrompts.hpp"
#include "../export/RecordingSheet.hpp"
#include "app/Application.hpp"
#include "text/NumberText.hpp"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <fstream>
#include <memory>
#include <vector>

namespace logora::testing {

struct Recorder : prices::MessageSink {
    std::vector<std::u16string> messages;
    void message(const std::u16string& t) override { messages.push_back(t); }
};

using PromptRecorder = RecordingPrompts;

struct TestApp {
    QTemporaryDir dir;
    Recorder messages;
    RecordingSheet sheet;
    PromptRecorder prompts;
    std::unique_ptr<app::Application> app;
    bool quitCalled = false;

    TestApp() {
        const std::filesystem::path root(dir.path().toStdString());
        app = std::make_unique<app::Application>(app::Application::Options{
            root / "logora", &messages, {root / "bills", &sheet, &prompts}});
        app->onQuit = [this] { quitCalled = true; };
        app->start();
    }
    std::filesystem::path priceFolder() const {
        return std::filesystem::path(dir.path().toStdString()) / "logora";
    }
    app::FormView& view(app::Calculator which) { return app->host(which).view(); }
};

inline QLineEdit* edit(app::FormView& v, std::u16string_view name, int e = ui::kNoElement) {
    return qobject_cast<QLineEdit*>(v.widgetFor(name, e));
}

} // namespace logora::testing
