// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/BillLock.hpp"

#include "text/NumberText.hpp"

#include <fstream>
#include <iterator>
#include <vector>

namespace logora::exporting {

namespace fs = std::filesystem;

fs::path lockFileOf(const fs::path& workbook) {
    return workbook.parent_path() / (".~lock." + workbook.filename().string() + "#");
}

std::optional<LockHolder> parseLock(std::string_view content) {
    std::vector<std::string> fields(1);
    bool ended = false;
    for (std::size_t i = 0; i < content.size() && !ended; ++i) {
        const char c = content[i];
        if (c == '\\' && i + 1 < content.size()) {
            fields.back().push_back(content[++i]);
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == ';') {
            ended = true;
        } else {
            fields.back().push_back(c);
        }
    }
    // A lock cut short (a power cut while it was written) has no end mark.
    if (!ended || fields.size() < 5) {
        return std::nullopt;
    }
    return LockHolder{fields[0], fields[1], fields[2], fields[3], fields[4]};
}

std::string lockLine(const LockHolder& h) {
    std::string out;
    auto add = [&out](const std::string& field, bool last) {
        for (char c : field) {
            if (c == ',' || c == ';' || c == '\\') {
                out.push_back('\\');
            }
            out.push_back(c);
        }
        out.push_back(last ? ';' : ',');
    };
    add(h.officeUser, false);
    add(h.systemUser, false);
    add(h.host, false);
    add(h.time, false);
    add(h.profileUrl, true);
    return out;
}

fs::path pathOfFileUrl(std::string_view url) {
    constexpr std::string_view scheme = "file://";
    if (url.substr(0, scheme.size()) != scheme) {
        return {};
    }
    url.remove_prefix(scheme.size());
    if (url.empty() || url.front() != '/') {
        return {}; // file://host/... is not a local path
    }
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::string path;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size() && hex(url[i + 1]) >= 0 && hex(url[i + 2]) >= 0) {
            path.push_back(static_cast<char>(hex(url[i + 1]) * 16 + hex(url[i + 2])));
            i += 2;
        } else {
            path.push_back(url[i]);
        }
    }
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return fs::path(path);
}

namespace {

// The process id in "/tmp/logora-office-<pid>-XXXXXX", or 0 when it is no such profile.
long privateProfileOwner(const fs::path& profile) {
    const std::string p = profile.string();
    if (p.rfind(kPrivateProfilePrefix, 0) != 0) {
        return 0;
    }
    long pid = 0;
    std::size_t i = kPrivateProfilePrefix.size();
    for (; i < p.size() && p[i] >= '0' && p[i] <= '9' && pid < 100000000; ++i) {
        pid = pid * 10 + (p[i] - '0');
    }
    return i < p.size() && p[i] == '-' ? pid : 0;
}

} // namespace

LockCheck checkLock(const fs::path& workbook, const OfficeProbe& probe) {
    const fs::path lock = lockFileOf(workbook);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(lock, ec))) {
        return {};
    }
    std::ifstream in(lock, std::ios::binary);
    std::string content;
    content.resize(4096);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    const std::optional<LockHolder> holder = parseLock(content);
    if (!holder) {
        return {LockState::Stale, {}};
    }
    const fs::path profile = pathOfFileUrl(holder->profileUrl);
    if (const long owner = privateProfileOwner(profile); owner > 0) {
        const bool otherLogoraExporting = owner != probe.ownProcessId() &&
                                          probe.processRuns(owner) && probe.profileInUse(profile);
        return {otherLogoraExporting ? LockState::Held : LockState::Stale, *holder};
    }
    if (holder->host != probe.hostName() || profile.empty()) {
        return {LockState::Held, *holder};
    }
    return {probe.profileInUse(profile) ? LockState::Held : LockState::Stale, *holder};
}

std::u16string holderName(const LockHolder& h) {
    const std::string& user = !h.officeUser.empty() ? h.officeUser : h.systemUser;
    std::u16string out = user.empty() ? u"另一位用户" : text::fromUtf8(user);
    if (!h.host.empty()) {
        out += u"（电脑 " + text::fromUtf8(h.host) + u"）";
    }
    return out;
}

} // namespace logora::exporting
