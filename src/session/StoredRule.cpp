// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/StoredRule.hpp"

#include "files/FileOps.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"

#include <system_error>

namespace logora::session {

StoredRule::StoredRule(std::filesystem::path folder,
                       std::function<void(const std::u16string&)> said)
    : folder_(std::move(folder)), said_(std::move(said)) {
    const fileops::Read read = fileops::readBounded(file());
    if (read.status != fileops::Read::Status::Ok) {
        return;
    }
    std::string line = read.bytes.substr(0, read.bytes.find_first_of("\r\n"));
    if (const auto named = volume::ruleNamed(text::fromUtf8(line))) {
        rule_ = *named;
    }
}

void StoredRule::choose(volume::Rule rule) {
    if (rule == rule_) {
        return;
    }
    rule_ = rule;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    int error = 0;
    const auto temp =
        fileops::writeTemporary(file(), text::toUtf8(volume::ruleName(rule)) + "\r\n", error);
    if (temp) {
        error = fileops::rename(*temp, file());
        if (error != 0) {
            fileops::remove(*temp);
        }
    }
    if (error != 0 && !told_ && said_) {
        told_ = true;
        said_(u"检尺标准 " + std::u16string(volume::ruleName(rule)) +
              u" 这次照用，但没有记下，下次启动仍是原来的标准：文件 " + text::pathText(file()) +
              u" 无法写入（" + fileops::reasonOf(error, u"检尺标准文件") + u"）。\n" +
              text::fromUtf8(std::generic_category().message(error)));
    }
}

} // namespace logora::session
