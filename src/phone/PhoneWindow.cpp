// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/PhoneWindow.hpp"

#include "text/NumberText.hpp"
#include "ui/WindowDef.hpp"

namespace logora::phone {

using text::fromUtf8;
using text::intText;

PhoneWindow::PhoneWindow(PhoneDesk& desk, PhoneDoor& door)
    : desk_(desk), door_(door), form_(ui::phoneWindowDef()) {
    form_.onClick(u"Command1", [this](int) { renew(); });
    form_.onClick(u"Command2", [this](int) {
        if (onClose) {
            onClose();
        }
    });
    form_.onClick(u"Command3", [this](int) { changePort(); });
    port_ = door_.savedPort();
    form_.control(u"Text1").setText(intText(port_));
}

void PhoneWindow::setAddress(std::string address) {
    if (address != address_) {
        address_ = std::move(address);
        form_.control(u"Label2").setText(fromUtf8(address_));
        if (onAddress) {
            onAddress();
        }
    }
}

std::string PhoneWindow::url() {
    return "http://" + door_.host() + ":" + std::to_string(port_) + desk_.pagePath();
}

void PhoneWindow::opened() {
    problem_ = door_.listen(port_);
    setAddress(problem_.empty() ? url() : std::string());
    refresh(Clock::now());
}

void PhoneWindow::closed() {
    door_.stopListening();
}

void PhoneWindow::renew() {
    desk_.renew();
    problem_ = u"已换新码：以前扫的码都不能再用了，请重新扫码。";
    refresh(Clock::now());
}

void PhoneWindow::changePort() {
    const std::u16string typed = text::trimmed(form_.control(u"Text1").text());
    int port = 0;
    for (char16_t c : typed) {
        port = c >= u'0' && c <= u'9' && port <= 65535 ? port * 10 + (c - u'0') : 100000;
    }
    if (typed.empty() || port < 1024 || port > 65535) {
        problem_ = u"端口要填1024到65535之间的数字。";
        refresh(Clock::now());
        return;
    }
    door_.stopListening();
    port_ = port;
    problem_ = door_.listen(port_);
    if (problem_.empty()) {
        door_.savePort(port_);
    }
    setAddress(problem_.empty() ? url() : std::string());
    refresh(Clock::now());
}

void PhoneWindow::refresh(Clock::time_point now) {
    // A renewal by wrong tries changes the token under the window.
    if (!address_.empty() && address_.find(desk_.pagePath()) == std::string::npos) {
        setAddress(url());
    }
    std::u16string phones;
    int number = 0;
    for (const PhoneSeen& p : desk_.phones()) {
        ++number;
        const auto ago = std::chrono::duration_cast<std::chrono::seconds>(now - p.last).count();
        if (ago > 60) {
            continue; // gone quiet: out of range, or put away
        }
        phones += u"手机" + intText(number) + u" " + fromUtf8(p.address) + u" " + intText(p.taps) +
                  u"下\n";
    }
    form_.control(u"Label4").setText(phones.empty() ? u"还没有手机连上。" : phones);
    std::u16string recent;
    for (const std::u16string& line : desk_.recent()) {
        recent += line + u"\n";
    }
    form_.control(u"Label6").setText(recent);
    std::u16string status = problem_;
    if (!desk_.alarm().empty()) {
        status += (status.empty() ? u"" : u"\n") + desk_.alarm();
    }
    const Refusals& r = desk_.refusals();
    if (r.token + r.rate + r.bad > 0) {
        status += (status.empty() ? u"" : u"\n") + std::u16string(u"拒绝了：二维码不对 ") +
                  intText(r.token) + u" 次，太快 " + intText(r.rate) + u" 次，内容不对 " +
                  intText(r.bad) + u" 次。";
    }
    form_.control(u"Label7").setText(status);
}

} // namespace logora::phone
