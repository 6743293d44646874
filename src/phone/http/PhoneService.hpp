// SPDX-License-Identifier: GPL-3.0-or-later
// The phone tally as a front end holds it: the desk's side, its server, its window, and the
// calculator the taps go into. The same for both front ends; only post() is theirs.
#pragma once

#include "ledger/sqlite/SqliteLedger.hpp"
#include "phone/PhoneDesk.hpp"
#include "phone/PhoneWindow.hpp"
#include "phone/http/PhoneServer.hpp"
#include "session/Session.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace logora::phone {

// Where the port is kept from run to run (the desk's settings).
struct PortKeeping {
    std::function<std::optional<int>()> load;
    std::function<void(int)> save;
};

// The port kept among the desk's settings in its ledger.
PortKeeping keptIn(ledger::SqliteLedger& desk);

// 16 bytes from the system's source of randomness.
std::string randomBytes();

class PhoneService : private PhoneDoor {
  public:
    PhoneService(session::Session& session, Post post, PortKeeping port);
    ~PhoneService() override;

    // "手机检尺" pressed in a calculator: its tally takes the taps; the desk listens.
    void open(ui::Calculator which);
    // The window closed: the desk listens no more; the code stays for the next opening.
    void close();
    // A calculator goes: its taps have nowhere to go until the window is opened again.
    void unloaded(ui::Calculator which);
    PhoneWindow& window() { return window_; }
    PhoneDesk& desk() { return desk_; }
    bool listening() const { return server_.listening(); }

  private:
    std::u16string listen(int port) override { return server_.start(port); }
    void stopListening() override { server_.stop(); }
    std::string host() override;
    int savedPort() override;
    void savePort(int port) override;

    session::Session& session_;
    PortKeeping port_;
    PhoneDesk desk_;
    PhoneServer server_;
    PhoneWindow window_;
    std::unique_ptr<Tally> tally_;
    ui::Calculator served_ = ui::Calculator::Grid;
};

} // namespace logora::phone
