// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/http/PhoneService.hpp"
#include "phone/lan/LanAddress.hpp"

#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"

#include <cstdlib>
#include <random>

namespace logora::phone {

PortKeeping keptIn(ledger::SqliteLedger& desk) {
    PortKeeping port;
    port.load = [&desk]() -> std::optional<int> {
        try {
            if (const auto kept = desk.setting("phone.port")) {
                return std::atoi(kept->c_str());
            }
        } catch (const std::exception&) {
            // Without its settings the desk listens at the default port.
        }
        return std::nullopt;
    };
    port.save = [&desk](int p) {
        try {
            desk.setSetting("phone.port", std::to_string(p));
        } catch (const std::exception&) {
            // Kept for this run only.
        }
    };
    return port;
}

std::string randomBytes() {
    std::random_device device;
    std::string bytes;
    while (bytes.size() < 16) {
        const unsigned int v = device();
        for (int i = 0; i < 4 && bytes.size() < 16; ++i) {
            bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    }
    return bytes;
}

PhoneService::PhoneService(session::Session& session, Post post, PortKeeping port)
    : session_(session), port_(std::move(port)), desk_(&randomBytes),
      server_(desk_, std::move(post)), window_(desk_, *this) {
    // The taps of a tally brought back after a crash count once when a phone sends them again.
    desk_.restoreTaps(session_.takeRestoredTaps());
    session_.tapsToKeep = [this] { return desk_.keptTaps(); };
}

PhoneService::~PhoneService() {
    session_.tapsToKeep = {};
    server_.stop();
}

void PhoneService::open(ui::Calculator which) {
    ui::Window& calculator = session_.window(which);
    served_ = which;
    if (which == ui::Calculator::List) {
        tally_ = std::make_unique<ListTally>(session_.list());
    } else {
        tally_ = std::make_unique<GridTally>(session_.grid());
    }
    desk_.serve(tally_.get(), [this, &calculator] {
        // As if typed at the desk: the tick recomputes, and the snapshot is on disk before
        // the phone is told the tap arrived.
        session_.userEdited();
        ui::containChangeLoops([&calculator] { calculator.tick(); });
        session_.keepSnapshotNow();
    });
    window_.opened();
}

void PhoneService::unloaded(ui::Calculator which) {
    if (tally_ && which == served_) {
        desk_.serve(nullptr, {});
        tally_.reset();
    }
}

void PhoneService::close() {
    window_.closed();
}

std::string PhoneService::host() {
    // A yard with several networks names the one its phones are on.
    if (const char* fixed = std::getenv("LOGORA_PHONE_ADDRESS"); fixed && *fixed) {
        return fixed;
    }
    return lanAddress();
}

int PhoneService::savedPort() {
    if (const char* fixed = std::getenv("LOGORA_PHONE_PORT"); fixed && *fixed) {
        return std::atoi(fixed);
    }
    if (port_.load) {
        if (const std::optional<int> kept = port_.load()) {
            return *kept;
        }
    }
    return kDefaultPort;
}

void PhoneService::savePort(int port) {
    if (port_.save) {
        port_.save(port);
    }
}

} // namespace logora::phone
