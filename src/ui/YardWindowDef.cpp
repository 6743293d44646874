// SPDX-License-Identifier: GPL-3.0-or-later
// Form6, "共享账本": the yard's server and this desk's station.
#include "ui/DefBuilder.hpp"

namespace logora::ui {

using namespace detail;

WindowDef yardWindowDef() {
    WindowDef w;
    w.name = u"Form6";
    w.title = u"共享账本";
    w.width = 6600;
    w.height = 4680;
    w.back = kWindowBack;
    auto& c = w.controls;
    const char16_t* captions[] = {u"服务器", u"端口", u"数据库", u"用户名", u"密码", u"本机站号"};
    for (int i = 0; i < 6; ++i) {
        const int top = 180 + i * 420;
        c.push_back(label(u"Label" + std::u16string(1, char16_t(u'1' + i)), kNoElement, 240,
                          top + 45, 1080, 255, captions[i]));
        ControlDef field =
            text(u"Text" + std::u16string(1, char16_t(u'1' + i)), kNoElement, 1380, top, 2700);
        field.password = i == 4;
        c.push_back(field);
    }
    c.back().width = 900;
    // Beside the station it takes: for a machine that replaces the one that had it.
    c.push_back(button(u"Command5", 2400, 2265, 1260, 360, u"接替站号"));
    c.push_back(withFont(label(u"Label7", kNoElement, 4260, 180, 2100, 2700,
                               u"服务器填共享账本所在电脑的名字或 IP 地址。"
                               u"站号是这台电脑在场里的代号，一到四个字母或数字，"
                               u"每台电脑不同，单号里会带上它。"),
                         9));
    ControlDef status = label(u"Label8", kNoElement, 240, 2790, 6120, 1170, u"");
    status.widest = u"连不上共享账本的服务器 192.168.100.200:5432：服务器没有开，或者网络不通，"
                    u"或者地址、端口填错了。";
    c.push_back(withFont(status, 9));
    c.push_back(button(u"Command1", 240, 4140, 1200, 390, u"测试连接"));
    c.push_back(button(u"Command2", 1560, 4140, 1200, 390, u"加入"));
    c.push_back(button(u"Command3", 2880, 4140, 1560, 390, u"退出共享账本"));
    c.push_back(button(u"Command4", 5160, 4140, 1200, 390, u"关闭"));
    return w;
}

} // namespace logora::ui
