-- SPDX-License-Identifier: GPL-3.0-or-later
-- The yard's ledger of Logora, schema version 2, in a database of its own.
--
-- Logora creates this itself the first time a desk joins as a role that may create tables in
-- the database, and brings a version 1 ledger forward the same way. A database administrator
-- who prefers to do it by hand runs, as the database's owner, on an empty database or on one
-- of an earlier version (running it again changes nothing):
--     psql -d logora -f logora-yard.sql
-- The desks log in as roles that are members of logora_desks: they may read and add bills,
-- stations and price lists, set a bill's void mark, end a price list's version and hand a
-- station over, and nothing else. The triggers hold the same for every role, the owner's
-- included. Where each desk has a login of its own, the row-level policies below refuse a
-- bill or a hand-over of a station under another desk's login; a login shared by all the
-- desks works as before.

SET client_min_messages = warning;

CREATE TABLE IF NOT EXISTS logora_schema(version integer NOT NULL, yard text NOT NULL);
INSERT INTO logora_schema
    SELECT 1, md5(random()::text || clock_timestamp()::text)
    WHERE NOT EXISTS (SELECT FROM logora_schema);

-- A station code belongs to one desk of the yard, the one that last took it over. role: the
-- login it was taken under (none for a version 1 station, open to every desk's login).
CREATE TABLE IF NOT EXISTS stations(
    code text PRIMARY KEY, desk text NOT NULL, joined timestamptz NOT NULL DEFAULT now());
ALTER TABLE stations ADD COLUMN IF NOT EXISTS role text;
ALTER TABLE stations ALTER COLUMN role SET DEFAULT current_user;
ALTER TABLE stations ADD COLUMN IF NOT EXISTS address text;
ALTER TABLE stations ALTER COLUMN address SET DEFAULT host(inet_client_addr());

-- Every hand-over of a station to another desk: who, when, from which desk, and the last bill
-- the station had then. A station changes desk only with its hand-over.
CREATE TABLE IF NOT EXISTS station_handovers(
    id bigserial PRIMARY KEY, code text NOT NULL, from_desk text NOT NULL,
    to_desk text NOT NULL, by_role text NOT NULL DEFAULT current_user,
    address text DEFAULT host(inet_client_addr()), last_bill text NOT NULL DEFAULT '',
    at timestamptz NOT NULL DEFAULT now());

-- A bill as its desk exported it: headers, lines and classes in one text column each. Numbers
-- and times compare by their bytes, whatever the database's language.
CREATE TABLE IF NOT EXISTS bills(
    number text COLLATE "C" PRIMARY KEY, day text COLLATE "C" NOT NULL, station text NOT NULL,
    seq integer NOT NULL, time text COLLATE "C" NOT NULL, calculator integer NOT NULL,
    sheet text NOT NULL,
    headers text NOT NULL, pieces bigint NOT NULL, volume bigint NOT NULL,
    amount bigint NOT NULL, lines text NOT NULL, classes text NOT NULL,
    workbook text NOT NULL, pdf text NOT NULL, price_list text NOT NULL,
    voided boolean NOT NULL DEFAULT false, void_reason text NOT NULL DEFAULT '',
    recorded timestamptz NOT NULL DEFAULT now());
CREATE INDEX IF NOT EXISTS bills_newest_first ON bills(time DESC, number DESC);

-- A different bill that came under a number the yard already held: kept whole beside the
-- first, for the yard to sort out; digest tells a resent one from another.
CREATE TABLE IF NOT EXISTS bill_conflicts(
    id bigserial PRIMARY KEY, number text COLLATE "C" NOT NULL, station text NOT NULL,
    time text COLLATE "C" NOT NULL, calculator integer NOT NULL, sheet text NOT NULL,
    headers text NOT NULL, pieces bigint NOT NULL, volume bigint NOT NULL,
    amount bigint NOT NULL, lines text NOT NULL, classes text NOT NULL,
    workbook text NOT NULL, pdf text NOT NULL, price_list text NOT NULL,
    digest text NOT NULL, by_role text NOT NULL DEFAULT current_user,
    recorded timestamptz NOT NULL DEFAULT now(), UNIQUE (number, digest));

-- Every version of every price list: in force while until is empty.
CREATE TABLE IF NOT EXISTS price_lists(
    id bigserial PRIMARY KEY, kind integer NOT NULL, species text NOT NULL,
    party text NOT NULL, body text NOT NULL, since text NOT NULL,
    until text NOT NULL DEFAULT '');
CREATE INDEX IF NOT EXISTS price_lists_in_force ON price_lists(until);

-- Rows are never deleted, and never changed but for a bill's void mark, set once, the end of
-- a price list's version, set once, a station's desk with its hand-over, and the schema's
-- version, raised.
CREATE OR REPLACE FUNCTION logora_kept() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('DELETE', 'TRUNCATE') THEN
        RAISE EXCEPTION 'Logora keeps every row of %', TG_TABLE_NAME
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    IF TG_TABLE_NAME = 'bills' THEN
        IF (to_jsonb(NEW) - 'voided' - 'void_reason')
               IS DISTINCT FROM (to_jsonb(OLD) - 'voided' - 'void_reason')
           OR (OLD.voided AND (NOT NEW.voided OR NEW.void_reason <> OLD.void_reason)) THEN
            RAISE EXCEPTION 'A recorded bill is never changed, but for its void mark'
                USING ERRCODE = 'insufficient_privilege';
        END IF;
    ELSIF TG_TABLE_NAME = 'price_lists' THEN
        IF (to_jsonb(NEW) - 'until') IS DISTINCT FROM (to_jsonb(OLD) - 'until')
           OR OLD.until <> '' THEN
            RAISE EXCEPTION 'A version of a price list is never changed, only ended once'
                USING ERRCODE = 'insufficient_privilege';
        END IF;
    ELSIF TG_TABLE_NAME = 'stations' THEN
        IF NEW.code IS DISTINCT FROM OLD.code OR NEW.joined IS DISTINCT FROM OLD.joined
           OR NOT EXISTS (SELECT FROM station_handovers h
                          WHERE h.code = OLD.code AND h.from_desk = OLD.desk
                            AND h.to_desk = NEW.desk AND h.at = now()) THEN
            RAISE EXCEPTION 'A station changes desk only with its hand-over'
                USING ERRCODE = 'insufficient_privilege';
        END IF;
    ELSIF TG_TABLE_NAME = 'logora_schema' THEN
        IF NEW.yard IS DISTINCT FROM OLD.yard OR NEW.version <= OLD.version THEN
            RAISE EXCEPTION 'The schema''s version is only ever raised'
                USING ERRCODE = 'insufficient_privilege';
        END IF;
    ELSE
        RAISE EXCEPTION 'Logora never changes a row of %', TG_TABLE_NAME
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    RETURN NEW;
END
$$;

DO $$
DECLARE
    t text;
BEGIN
    FOREACH t IN ARRAY ARRAY['bills', 'price_lists', 'stations', 'station_handovers',
                             'bill_conflicts', 'logora_schema'] LOOP
        EXECUTE format('DROP TRIGGER IF EXISTS %1$s_kept ON %1$I', t);
        EXECUTE format('CREATE TRIGGER %1$s_kept BEFORE UPDATE OR DELETE ON %1$I '
                       'FOR EACH ROW EXECUTE FUNCTION logora_kept()', t);
        EXECUTE format('DROP TRIGGER IF EXISTS %1$s_not_emptied ON %1$I', t);
        EXECUTE format('CREATE TRIGGER %1$s_not_emptied BEFORE TRUNCATE ON %1$I '
                       'FOR EACH STATEMENT EXECUTE FUNCTION logora_kept()', t);
    END LOOP;
    -- Version 1 named this one apart.
    DROP TRIGGER IF EXISTS schema_kept ON logora_schema;
END
$$;

-- A desk's login adds bills, conflicts and hand-overs only of a station taken under that
-- login; a number's station is the part before a desk's own mark ("A" of "A.3F9C2A1B").
CREATE OR REPLACE FUNCTION logora_station_is_mine(station text) RETURNS boolean
    LANGUAGE sql STABLE AS $$
    SELECT EXISTS (SELECT FROM stations s
                   WHERE s.code = split_part(station, '.', 1)
                     AND (s.role IS NULL OR s.role = current_user))
$$;

ALTER TABLE bills ENABLE ROW LEVEL SECURITY;
ALTER TABLE bill_conflicts ENABLE ROW LEVEL SECURITY;
ALTER TABLE stations ENABLE ROW LEVEL SECURITY;
ALTER TABLE station_handovers ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS bills_read ON bills;
CREATE POLICY bills_read ON bills FOR SELECT USING (true);
DROP POLICY IF EXISTS bills_added ON bills;
CREATE POLICY bills_added ON bills FOR INSERT WITH CHECK (logora_station_is_mine(station));
DROP POLICY IF EXISTS bills_voided ON bills;
CREATE POLICY bills_voided ON bills FOR UPDATE USING (true);
DROP POLICY IF EXISTS conflicts_read ON bill_conflicts;
CREATE POLICY conflicts_read ON bill_conflicts FOR SELECT USING (true);
DROP POLICY IF EXISTS conflicts_added ON bill_conflicts;
CREATE POLICY conflicts_added ON bill_conflicts FOR INSERT
    WITH CHECK (logora_station_is_mine(station) AND by_role = current_user);
DROP POLICY IF EXISTS stations_read ON stations;
CREATE POLICY stations_read ON stations FOR SELECT USING (true);
DROP POLICY IF EXISTS stations_taken ON stations;
CREATE POLICY stations_taken ON stations FOR INSERT WITH CHECK (role = current_user);
DROP POLICY IF EXISTS stations_handed ON stations;
CREATE POLICY stations_handed ON stations FOR UPDATE
    USING (role IS NULL OR role = current_user) WITH CHECK (role = current_user);
DROP POLICY IF EXISTS handovers_read ON station_handovers;
CREATE POLICY handovers_read ON station_handovers FOR SELECT USING (true);
DROP POLICY IF EXISTS handovers_made ON station_handovers;
CREATE POLICY handovers_made ON station_handovers FOR INSERT
    WITH CHECK (by_role = current_user AND logora_station_is_mine(code));

UPDATE logora_schema SET version = 2 WHERE version < 2;

-- The desks' rights, where the administrator has made their role.
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'logora_desks') THEN
        GRANT SELECT ON logora_schema TO logora_desks;
        GRANT SELECT, INSERT ON bills, stations, price_lists, station_handovers, bill_conflicts
            TO logora_desks;
        GRANT UPDATE (voided, void_reason) ON bills TO logora_desks;
        GRANT UPDATE (until) ON price_lists TO logora_desks;
        GRANT UPDATE (desk, role, address) ON stations TO logora_desks;
        GRANT USAGE ON SEQUENCE price_lists_id_seq, station_handovers_id_seq,
            bill_conflicts_id_seq TO logora_desks;
    END IF;
END
$$;
