// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows program's phone tally under Wine, the desk's side of phone-wine.sh: it opens
// 手机检尺 on the grid, leaves the address and the code's bitmap in the channel folder, and
// answers each step the browser writes there, checking the grid's cells as PhoneTest does.
// Usage: logora_win_phone_tests CHANNEL_FOLDER
#include "../TempFolder.hpp"
#include "text/NumberText.hpp"
#include "win/WinApp.hpp"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace logora;
namespace fs = std::filesystem;

namespace {

int failures = 0;

void expect(bool ok, const std::string& what) {
    if (!ok) {
        ++failures;
        std::printf("FAILED: %s\n", what.c_str());
        std::fflush(stdout);
    }
}

std::string pieces(win::WinApp& app, int group, const char16_t* diameter) {
    auto& g = static_cast<grid::GridWindow&>(app.window(ui::Calculator::Grid));
    for (int r = 1; r <= grid::kRows; ++r) {
        if (g.diameter(r, group).text() == diameter) {
            return text::toUtf8(g.pieces(r, group).text());
        }
    }
    return "no class";
}

void saveBitmap(HBITMAP bitmap, const fs::path& file) {
    DIBSECTION dib{};
    GetObjectW(bitmap, sizeof dib, &dib);
    const DWORD size = static_cast<DWORD>(dib.dsBm.bmWidthBytes * dib.dsBm.bmHeight);
    BITMAPFILEHEADER head{};
    head.bfType = 0x4D42;
    head.bfOffBits = sizeof head + sizeof(BITMAPINFOHEADER);
    head.bfSize = head.bfOffBits + size;
    BITMAPINFOHEADER info = dib.dsBmih;
    info.biHeight = -std::abs(info.biHeight);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&head), sizeof head);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(static_cast<const char*>(dib.dsBm.bmBits), size);
}

void pump(int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The browser's next step, the desk serving meanwhile; at most a minute.
std::string nextStep(const fs::path& channel, std::size_t& read) {
    for (int i = 0; i < 3000; ++i) {
        std::ifstream in(channel / "steps");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        if (lines.size() > read) {
            return lines[read++];
        }
        pump(20);
    }
    return "(no step)";
}

void answer(const fs::path& channel, const std::string& text = {}) {
    std::ofstream(channel / "answers", std::ios::app) << "go " << text << "\n";
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    const fs::path channel = argv[1];
    const fs::path dir = testing::makeTempFolder("logora-wine-phone");
    win::WinApp::Options options;
    options.priceFolder = dir / "prices";
    options.billFolder = dir / "bills";
    options.templateFolder = dir / "templates";
    options.stateFolder = dir / "state";
    win::WinApp app(GetModuleHandleW(nullptr), options);
    app.start();
    app.openPhone(ui::Calculator::Grid);
    expect(app.phone()->listening(), "the desk listens");
    const std::string address = app.phone()->window().address();
    expect(app.codeBitmap() != nullptr, "a code is drawn");
    if (app.codeBitmap()) {
        saveBitmap(app.codeBitmap(), channel / "code.bmp");
    }
    std::ofstream(channel / "address") << address << "\n";

    std::size_t read = 0;
    auto step = [&](const std::string& name) {
        const std::string got = nextStep(channel, read);
        expect(got == "STEP " + name, "step " + name + ", got " + got);
    };
    step("tapped");
    expect(pieces(app, 0, u"8") == "2", "three taps, one taken back");
    expect(pieces(app, 0, u"24") == "1", "typed on the pad");
    answer(channel);
    step("close");
    app.phone()->window().form().click(u"Command2"); // 关闭
    expect(!app.phone()->listening(), "closed, the desk listens no more");
    answer(channel);
    step("reopen");
    expect(pieces(app, 0, u"8") == "2", "nothing arrived while closed");
    app.openPhone(ui::Calculator::Grid);
    expect(app.phone()->window().address() == address, "the same address again");
    answer(channel);
    step("offline-done");
    expect(pieces(app, 0, u"8") == "5", "the taps made meanwhile arrived once");
    answer(channel);
    step("two");
    expect(pieces(app, 1, u"10") == "30", "two phones add up");
    answer(channel);
    step("renew");
    app.phone()->window().form().click(u"Command1"); // 换码
    const std::string renewed = app.phone()->window().address();
    expect(renewed != address, "a new code");
    answer(channel, renewed);
    step("renewed");
    expect(pieces(app, 0, u"12") == "2", "the old page's taps arrived by the new code");
    answer(channel);
    step("abuse");
    expect(pieces(app, 0, u"8") == "5", "nothing applied from the refused requests");
    const phone::Refusals& r = app.phone()->desk().refusals();
    expect(r.token >= 1 && r.rate >= 1 && r.bad >= 3, "refusals counted");
    answer(channel);
    std::printf("%s\n", failures == 0 ? "PASSED" : "FAILED");
    return failures == 0 ? 0 : 1;
}
