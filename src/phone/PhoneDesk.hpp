// SPDX-License-Identifier: GPL-3.0-or-later
// The desk's side of the phone tally: what a phone may ask and send, under the pairing token,
// each tap applied once, checked strictly, bounded in rate. The HTTP server hands every
// request to handle() on the thread that owns the tally, and sends back what it returns.
#pragma once

#include "phone/Tally.hpp"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace logora::phone {

using Clock = std::chrono::steady_clock;

struct Request {
    std::string method; // "GET" or "POST"
    std::string target; // the path with its query
    std::string body;
    std::string client; // the phone's network address
    Clock::time_point now{};
};

struct Reply {
    int status = 200;
    std::string type = "application/json";
    std::string body;
};

// The most a request may carry, and how many taps; a phone sends far less.
inline constexpr std::size_t kMostBody = 4096;
inline constexpr std::size_t kMostTaps = 40;
// Each address may ask this often: a burst, then so many a second.
inline constexpr double kBurst = 40;
inline constexpr double kPerSecond = 20;
// So many requests with a wrong token within a minute, and the token is renewed.
inline constexpr int kWrongTries = 10;

// What the desk's window shows of the phones.
struct PhoneSeen {
    std::string id;
    std::string address;
    Clock::time_point last{};
    int taps = 0;
};

struct Refusals {
    int token = 0; // wrong or old token
    int rate = 0;  // too many requests
    int bad = 0;   // malformed, too large, or not applicable
};

class PhoneDesk {
  public:
    // random() gives 16 random bytes; the token is their hexadecimal text.
    explicit PhoneDesk(std::function<std::string()> random);

    // The tally taps go into, and what follows each change: the tick, the snapshot.
    void serve(Tally* tally, std::function<void()> changed);
    Reply handle(const Request& request);

    const std::string& token() const { return token_; }
    // The path a phone opens, after the address and port.
    std::string pagePath() const { return "/p/" + token_; }
    // A new token: every phone holding the old one is refused from now on.
    void renew();

    const std::vector<PhoneSeen>& phones() const { return phones_; }
    const std::deque<std::u16string>& recent() const { return recent_; }
    const Refusals& refusals() const { return refusals_; }
    // The taps applied and taken back, newest kKeptTaps, one text each for the snapshot; and
    // back from a restored one, so that a tap the phone sends again is applied once.
    std::vector<std::u16string> keptTaps() const;
    void restoreTaps(const std::vector<std::u16string>& kept);
    // Set when wrong tokens renewed the code; the window says so.
    const std::u16string& alarm() const { return alarm_; }

  private:
    struct Bucket {
        double tokens = kBurst;
        Clock::time_point at{};
    };
    bool allowed(const std::string& client, Clock::time_point now);
    Reply wrongToken(const std::string& given, Clock::time_point now);
    Reply state(const std::string& phone, const Request& request);
    Reply taps(const Request& request);
    Reply refuse(int status, const std::u16string& why, const std::string& tap = {});
    std::string stateJson();
    void seen(const std::string& phone, const std::string& address, Clock::time_point now,
              int taps);
    void note(const std::string& phone, const Tap& tap);

    std::function<std::string()> random_;
    std::string token_;
    std::set<std::string> oldTokens_;
    std::deque<Clock::time_point> wrongAt_;
    std::map<std::string, Bucket> buckets_;
    Tally* tally_ = nullptr;
    std::function<void()> changed_;
    std::map<std::string, Landed> applied_; // by tap id: every tap applied this run
    std::set<std::string> undone_;
    std::deque<std::string> order_; // the applied ids, oldest first
    std::vector<PhoneSeen> phones_;
    std::deque<std::u16string> recent_;
    Refusals refusals_;
    std::u16string alarm_;
};

// A phone resends only the taps it has not heard back of: far fewer than these.
inline constexpr std::size_t kKeptTaps = 2000;

// A tap id, a phone id: 1 to 40 letters, digits, '-' or '_'.
bool wellFormedId(const std::string& id);

} // namespace logora::phone
