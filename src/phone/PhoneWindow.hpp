// SPDX-License-Identifier: GPL-3.0-or-later
// "手机检尺": the desk's window of the phone tally. While it is open the desk listens; its
// code and address stay the same from one opening to the next until "换码".
#pragma once

#include "phone/PhoneDesk.hpp"
#include "ui/Form.hpp"

#include <functional>
#include <string>

namespace logora::phone {

// What the window asks of the program around it.
class PhoneDoor {
  public:
    virtual ~PhoneDoor() = default;
    // Listens at the port: empty when it does, or why not in a sentence.
    virtual std::u16string listen(int port) = 0;
    virtual void stopListening() = 0;
    // The desk's address on the yard's network.
    virtual std::string host() = 0;
    // The port kept from run to run.
    virtual int savedPort() = 0;
    virtual void savePort(int port) = 0;
};

class PhoneWindow : public ui::Window {
  public:
    PhoneWindow(PhoneDesk& desk, PhoneDoor& door);
    ui::Form& form() override { return form_; }
    // The labels follow the phones.
    void tick() override { refresh(Clock::now()); }

    // Shown: the desk listens. Closed: it listens no more.
    void opened();
    void closed();
    // "换码": a new token, every phone's old one refused.
    void renew();
    // "换端口": listens at the port typed, and keeps it.
    void changePort();
    // What a phone opens, or empty while the desk does not listen.
    const std::string& address() const { return address_; }
    // The labels from the desk: phones, taps, refusals.
    void refresh(Clock::time_point now);

    std::function<void()> onClose;
    // The address changed: the code is drawn again.
    std::function<void()> onAddress;

  private:
    void setAddress(std::string address);
    std::string url();

    PhoneDesk& desk_;
    PhoneDoor& door_;
    ui::Form form_;
    std::string address_;
    int port_ = 0;
    std::u16string problem_;
};

} // namespace logora::phone
