// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/YardWindow.hpp"

#include "ledger/Ledger.hpp"
#include "text/NumberText.hpp"
#include "ui/WindowDef.hpp"

namespace logora::ledger {

namespace {

std::string trimmed(std::u16string_view t) {
    while (!t.empty() && (t.front() == u' ' || t.front() == u'\u3000')) {
        t.remove_prefix(1);
    }
    while (!t.empty() && (t.back() == u' ' || t.back() == u'\u3000')) {
        t.remove_suffix(1);
    }
    return text::toUtf8(t);
}

} // namespace

ReadSettings readSettings(const YardSettings& typed) {
    ReadSettings r;
    r.host = trimmed(typed.host);
    r.database = trimmed(typed.database);
    r.user = trimmed(typed.user);
    const std::string port = trimmed(typed.port);
    for (const char c : port) {
        r.port = c >= '0' && c <= '9' && r.port < 100000 ? r.port * 10 + (c - '0') : -1;
    }
    if (r.host.empty()) {
        r.problem = u"请填服务器：共享账本所在电脑的名字或 IP 地址。";
    } else if (port.empty() || r.port < 1 || r.port > 65535) {
        r.problem = u"端口要填 1 到 65535 之间的数字，一般是 5432。";
    } else if (r.database.empty()) {
        r.problem = u"请填数据库的名字，一般是 logora。";
    } else if (r.user.empty()) {
        r.problem = u"请填用户名：管理员为这台电脑建的数据库用户。";
    } else if (const std::optional<std::string> code =
                   stationCode(text::fromUtf8(trimmed(typed.station)))) {
        r.station = *code;
    } else {
        r.problem = u"本机站号要填一到四个字母或数字，例如 A，每台电脑不同。";
    }
    return r;
}

YardWindow::YardWindow(YardDoor& door) : door_(door), form_(ui::yardWindowDef()) {
    form_.onClick(u"Command1", [this](int) { test(); });
    form_.onClick(u"Command2", [this](int) { join(); });
    form_.onClick(u"Command3", [this](int) { leave(); });
    form_.onClick(u"Command5", [this](int) { takeOver(); });
    form_.onClick(u"Command4", [this](int) {
        if (onClose) {
            onClose();
        }
    });
    refresh();
}

void YardWindow::refresh() {
    const YardSettings s = door_.settings();
    const std::u16string* values[] = {&s.host, &s.port, &s.database, &s.user, nullptr, &s.station};
    const bool fixed = door_.setByEnvironment();
    for (int i = 0; i < 6; ++i) {
        ui::Control& field = form_.control(u"Text" + std::u16string(1, char16_t(u'1' + i)));
        if (values[i] != nullptr) {
            field.setText(*values[i]);
        }
    }
    // Set for the whole yard by its installer: shown, tested, not changed here.
    form_.control(u"Command2").setVisible(!fixed);
    form_.control(u"Command3").setVisible(!fixed);
    say(fixed ? std::u16string(kEnvironmentSays) + u"\n" + door_.status() : door_.status());
}

YardSettings YardWindow::typed() const {
    auto t = [this](char16_t k) -> const std::u16string& {
        return form_.control(std::u16string(u"Text") + k).text();
    };
    return {t(u'1'), t(u'2'), t(u'3'), t(u'4'), t(u'6')};
}

void YardWindow::say(std::u16string line) {
    form_.control(u"Label8").setText(std::move(line));
}

YardDoor::Said YardWindow::answer(std::function<void(std::u16string)> then) {
    connecting_ = true;
    say(std::u16string(kConnecting));
    return [this, alive = std::weak_ptr<bool>(alive_), then = std::move(then)](std::u16string r) {
        const std::shared_ptr<bool> a = alive.lock();
        if (!a || !*a) {
            return;
        }
        connecting_ = false;
        then(std::move(r));
        if (onSaid) {
            onSaid();
        }
    };
}

void YardWindow::test() {
    const ReadSettings r = readSettings(typed());
    if (connecting_) {
        return;
    }
    if (!r.problem.empty()) {
        say(r.problem);
        return;
    }
    door_.testLater(r, form_.control(u"Text5").text(), answer([this](std::u16string problem) {
                        say(problem.empty() ? u"连接成功：可以点“加入”。" : problem);
                    }));
}

void YardWindow::join() {
    const ReadSettings r = readSettings(typed());
    if (connecting_) {
        return;
    }
    if (!r.problem.empty()) {
        say(r.problem);
        return;
    }
    door_.joinLater(r, form_.control(u"Text5").text(), answer([this](std::u16string problem) {
                        if (!problem.empty()) {
                            say(problem);
                            return;
                        }
                        form_.control(u"Text5").setText(u"");
                        say(door_.status());
                        if (onChanged) {
                            onChanged();
                        }
                    }));
}

void YardWindow::leave() {
    if (connecting_) {
        return;
    }
    say(door_.leave());
    if (onChanged) {
        onChanged();
    }
}

void YardWindow::takeOver() {
    if (connecting_) {
        return;
    }
    // Set by the environment, the fields only show it: the desk's own settings are used.
    ReadSettings r;
    if (!door_.setByEnvironment()) {
        r = readSettings(typed());
        if (!r.problem.empty()) {
            say(r.problem);
            return;
        }
    }
    const std::u16string password = form_.control(u"Text5").text();
    connecting_ = true;
    say(std::u16string(kConnecting));
    door_.holderLater(r, password,
                      [this, r, password, alive = std::weak_ptr<bool>(alive_)](
                          std::u16string question, std::u16string problem) {
                          if (const std::shared_ptr<bool> a = alive.lock(); !a || !*a) {
                              return;
                          }
                          connecting_ = false;
                          if (!problem.empty()) {
                              say(problem);
                          } else if (question.empty()) {
                              say(u"站号已经是这台电脑的了，不用接替。\n" + door_.status());
                          } else if (!ask || !ask(question)) {
                              say(u"没有接替站号。");
                          } else {
                              door_.takeOverLater(r, password,
                                                  answer([this](std::u16string failed) {
                                                      form_.control(u"Text5").setText(u"");
                                                      say(failed.empty() ? door_.status() : failed);
                                                      if (failed.empty() && onChanged) {
                                                          onChanged();
                                                      }
                                                  }));
                          }
                          if (onSaid) {
                              onSaid();
                          }
                      });
}

} // namespace logora::ledger
