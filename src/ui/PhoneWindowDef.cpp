// SPDX-License-Identifier: GPL-3.0-or-later
// Form7, "手机检尺": the code a phone scans, the phones and their last taps.
#include "ui/DefBuilder.hpp"

namespace logora::ui {

using namespace detail;

WindowDef phoneWindowDef() {
    WindowDef w;
    w.name = u"Form7";
    w.title = u"手机检尺";
    w.width = 7200;
    w.height = 6600;
    w.back = kWindowBack;
    auto& c = w.controls;
    // The QR code is drawn by the front end over this empty label, white around it.
    c.push_back(withRole(
        withBack(label(u"Label1", kNoElement, 240, 180, 3600, 3600, u""), Rgb{255, 255, 255}),
        Role::PhoneCode));
    ControlDef address = label(u"Label2", kNoElement, 240, 3870, 6720, 300, u"");
    address.widest = u"http://192.168.100.200:65535/p/0123456789abcdef0123456789abcdef";
    c.push_back(withFont(address, 9));
    c.push_back(
        withFont(label(u"Label3", kNoElement, 4080, 180, 2880, 255, u"连着的手机"), 10.5, true));
    ControlDef phones = label(u"Label4", kNoElement, 4080, 480, 2880, 1380, u"");
    phones.widest = u"手机4 192.168.100.200 888下";
    c.push_back(withFont(phones, 9));
    c.push_back(
        withFont(label(u"Label5", kNoElement, 4080, 1920, 2880, 255, u"最近收到"), 10.5, true));
    ControlDef recent = label(u"Label6", kNoElement, 4080, 2220, 2880, 1560, u"");
    recent.widest = u"手机4：第4组 量得120.5厘米 +1";
    c.push_back(withFont(recent, 9));
    ControlDef status = label(u"Label7", kNoElement, 240, 4260, 6720, 900, u"");
    status.widest = u"一分钟内有10次用不对的二维码来连，已经换了新码；用手机的人请重新扫码。";
    c.push_back(withFont(status, 9));
    c.push_back(label(u"Label8", kNoElement, 240, 5325, 600, 255, u"端口"));
    c.push_back(text(u"Text1", kNoElement, 840, 5280, 900));
    c.push_back(button(u"Command3", 1860, 5250, 1200, 390, u"换端口"));
    c.push_back(button(u"Command1", 3300, 5250, 1200, 390, u"换码"));
    c.push_back(button(u"Command2", 5760, 5250, 1200, 390, u"关闭"));
    c.push_back(withFont(label(u"Label9", kNoElement, 240, 5820, 6720, 600,
                               u"用手机的相机扫上面的二维码，就能在手机上点数。"
                               u"手机要连这台电脑所在的无线网。"),
                         9));
    return w;
}

} // namespace logora::ui
