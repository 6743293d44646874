// SPDX-License-Identifier: GPL-3.0-or-later
// The yard's database on a PostgreSQL server, through libpq. Connections wait 2 s at most,
// statements 1 s and locks a quarter of a second, and
// use TLS where the server offers it; every statement is parameterised; a broken connection
// is dropped and made again at the next call.
#pragma once

#include "ledger/Yard.hpp"

#include <optional>
#include <string>

struct pg_conn;

namespace logora::ledger {

// The schema this program writes; the database's own table says which it has.
inline constexpr int kYardSchemaVersion = 2;
// The schema as shipped in logora-yard.sql, for the program to create it itself.
extern const char* const kYardSchemaSql;

class PgYard : public YardStore {
  public:
    // conninfo: a libpq connection URI ("postgresql://desk@office/logora") or keywords;
    // station and desk: this desk's code and its own identity, checked at each connection.
    // strict: a station another desk holds is refused, as the join window's test says it;
    // otherwise the desk sends its bills under its own mark (provisionalStation).
    PgYard(std::string conninfo, std::string station, std::string desk, bool strict = false);
    ~PgYard() override;
    PgYard(const PgYard&) = delete;
    PgYard& operator=(const PgYard&) = delete;

    // Connects, creates the schema in an empty database where the role may, and takes the
    // station for this desk. Returns the yard's identity; throws LedgerError saying in a
    // sentence what is wrong: the server, the password, the database, the schema, the station.
    std::string identity() override;
    // Whether the connection is encrypted, once connected.
    bool encrypted();

    Put put(const BillRecord& record) override;
    StationState station(std::string_view day) override;
    std::u16string holder() override;
    void takeOver() override;
    void putVoid(std::string_view number, std::u16string_view reason) override;
    std::vector<BillRecord> list() override;
    std::optional<BillRecord> load(std::string_view number) override;
    Listing listing(const Filter& filter) override;
    std::vector<Group> groups(const Filter& filter, Grouping by,
                              std::u16string_view caption) override;
    std::vector<BillRecord> page(const Filter& filter, long long offset, long long limit) override;
    std::vector<prices::PriceList> priceLists() override;
    void savePriceLists(const std::vector<prices::PriceList>& lists,
                        std::string_view time) override;
    std::vector<ListVersion> priceListHistory() override;

  private:
    pg_conn* connection();
    pg_conn* connect();
    std::string check(pg_conn* c);
    StationState grantOf(pg_conn* c);
    void drop();

    std::string conninfo_;
    std::string station_;
    std::string desk_;
    std::string yard_;
    bool strict_ = false;
    StationState grant_; // as the last connection found it
    pg_conn* conn_ = nullptr;
};

// A connection's keywords from the window's fields, quoted as libpq reads them.
std::string conninfoOf(std::string_view host, int port, std::string_view database,
                       std::string_view user, std::string_view password = {});

} // namespace logora::ledger
