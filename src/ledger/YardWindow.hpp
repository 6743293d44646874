// SPDX-License-Identifier: GPL-3.0-or-later
// "共享账本": joining the desk to a yard's ledger. The window's fields, their checks and its
// lines live here; the connection itself is the platform's (YardDoor).
#pragma once

#include "ui/Form.hpp"
#include "ui/Shell.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace logora::ledger {

// The server as the window takes it; the password is never among the desk's settings.
struct YardSettings {
    std::u16string host, port = u"5432", database = u"logora", user, station;
    friend bool operator==(const YardSettings&, const YardSettings&) = default;
};

// The fields read, or the sentence that says which one is wrong and how.
struct ReadSettings {
    std::string host, database, user, station;
    int port = 0;
    std::u16string problem;
};
ReadSettings readSettings(const YardSettings& typed);

// What the window asks of the desk's ledger. Each returns a sentence for the user: empty
// when it went well, or what is wrong.
class YardDoor {
  public:
    virtual ~YardDoor() = default;
    // What the desk uses now, and whether the environment set it (then the window only shows).
    virtual YardSettings settings() = 0;
    virtual bool setByEnvironment() = 0;
    virtual std::u16string test(const ReadSettings& settings, const std::u16string& password) = 0;
    virtual std::u16string join(const ReadSettings& settings, const std::u16string& password) = 0;
    // The same two, on a worker where the desk has one: done comes on the window's thread.
    using Said = std::function<void(std::u16string)>;
    virtual void testLater(const ReadSettings& settings, const std::u16string& password,
                           Said done) {
        done(test(settings, password));
    }
    virtual void joinLater(const ReadSettings& settings, const std::u16string& password,
                           Said done) {
        done(join(settings, password));
    }
    // "接替站号": the question naming the desk that holds the station (empty: it is this
    // desk's already), or what is wrong; then the hand-over.
    using Asked = std::function<void(std::u16string question, std::u16string problem)>;
    virtual void holderLater(const ReadSettings& settings, const std::u16string& password,
                             Asked done) = 0;
    virtual void takeOverLater(const ReadSettings& settings, const std::u16string& password,
                               Said done) = 0;
    virtual std::u16string leave() = 0;
    // One line: in a yard or not, where, as which station, how many bills wait.
    virtual std::u16string status() = 0;
};

inline constexpr std::u16string_view kEnvironmentSays =
    u"这台电脑的共享账本由环境变量 LOGORA_LEDGER_URL 和 LOGORA_STATION 设定，"
    u"要改请找安装的人。";

// Said while the worker connects.
inline constexpr std::u16string_view kConnecting = u"正在连接…";

class YardWindow : public ui::Window {
  public:
    explicit YardWindow(YardDoor& door);
    ~YardWindow() override { *alive_ = false; }
    YardWindow(const YardWindow&) = delete;
    YardWindow& operator=(const YardWindow&) = delete;
    ui::Form& form() override { return form_; }
    void tick() override {}

    // The fields from the desk's settings, and its status.
    void refresh();
    // The buttons.
    void test();
    void join();
    void leave();
    void takeOver();
    std::function<void()> onClose;
    // The front end's yes-or-no question, before a station is taken over.
    std::function<bool(const std::u16string& question)> ask;
    // The ledger's window lists anew after a join or a leave.
    std::function<void()> onChanged;
    // A line came from the worker, after the click: the view shows it.
    std::function<void()> onSaid;
    // Between a click and its answer: the buttons wait, the window moves and closes.
    bool connecting() const { return connecting_; }

  private:
    YardSettings typed() const;
    void say(std::u16string line);

    // The answer to a click, unless the window is gone.
    YardDoor::Said answer(std::function<void(std::u16string)> then);

    YardDoor& door_;
    ui::Form form_;
    bool connecting_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace logora::ledger
