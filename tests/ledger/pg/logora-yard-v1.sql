-- SPDX-License-Identifier: GPL-3.0-or-later
-- The yard's ledger of Logora, schema version 1, in a database of its own.
--
-- Logora creates this itself the first time a desk joins as a role that may create tables in
-- the database. A database administrator who prefers to do it by hand runs, as the
-- database's owner:
--     psql -d logora -f logora-yard.sql
-- The desks log in as roles that are members of logora_desks: they may read and add bills,
-- stations and price lists, set a bill's void mark and end a price list's version, and
-- nothing else. The triggers hold the same for every role, the owner's included.

CREATE TABLE logora_schema(version integer NOT NULL, yard text NOT NULL);
INSERT INTO logora_schema VALUES (1, md5(random()::text || clock_timestamp()::text));

-- A station code belongs to one desk of the yard.
CREATE TABLE stations(
    code text PRIMARY KEY, desk text NOT NULL, joined timestamptz NOT NULL DEFAULT now());

-- A bill as its desk exported it: headers, lines and classes in one text column each. Numbers
-- and times compare by their bytes, whatever the database's language.
CREATE TABLE bills(
    number text COLLATE "C" PRIMARY KEY, day text COLLATE "C" NOT NULL, station text NOT NULL,
    seq integer NOT NULL, time text COLLATE "C" NOT NULL, calculator integer NOT NULL,
    sheet text NOT NULL,
    headers text NOT NULL, pieces bigint NOT NULL, volume bigint NOT NULL,
    amount bigint NOT NULL, lines text NOT NULL, classes text NOT NULL,
    workbook text NOT NULL, pdf text NOT NULL, price_list text NOT NULL,
    voided boolean NOT NULL DEFAULT false, void_reason text NOT NULL DEFAULT '',
    recorded timestamptz NOT NULL DEFAULT now());
CREATE INDEX bills_newest_first ON bills(time DESC, number DESC);

-- Every version of every price list: in force while until is empty.
CREATE TABLE price_lists(
    id bigserial PRIMARY KEY, kind integer NOT NULL, species text NOT NULL,
    party text NOT NULL, body text NOT NULL, since text NOT NULL,
    until text NOT NULL DEFAULT '');
CREATE INDEX price_lists_in_force ON price_lists(until);

-- Rows are never deleted, and never changed but for a bill's void mark, set once, and the
-- end of a price list's version, set once.
CREATE FUNCTION logora_kept() RETURNS trigger LANGUAGE plpgsql AS $$
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
    ELSE
        RAISE EXCEPTION 'Logora never changes a row of %', TG_TABLE_NAME
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER bills_kept BEFORE UPDATE OR DELETE ON bills
    FOR EACH ROW EXECUTE FUNCTION logora_kept();
CREATE TRIGGER bills_not_emptied BEFORE TRUNCATE ON bills
    FOR EACH STATEMENT EXECUTE FUNCTION logora_kept();
CREATE TRIGGER price_lists_kept BEFORE UPDATE OR DELETE ON price_lists
    FOR EACH ROW EXECUTE FUNCTION logora_kept();
CREATE TRIGGER price_lists_not_emptied BEFORE TRUNCATE ON price_lists
    FOR EACH STATEMENT EXECUTE FUNCTION logora_kept();
CREATE TRIGGER stations_kept BEFORE UPDATE OR DELETE ON stations
    FOR EACH ROW EXECUTE FUNCTION logora_kept();
CREATE TRIGGER stations_not_emptied BEFORE TRUNCATE ON stations
    FOR EACH STATEMENT EXECUTE FUNCTION logora_kept();
CREATE TRIGGER schema_kept BEFORE UPDATE OR DELETE ON logora_schema
    FOR EACH ROW EXECUTE FUNCTION logora_kept();

-- The desks' rights, where the administrator has made their role.
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'logora_desks') THEN
        GRANT SELECT ON logora_schema TO logora_desks;
        GRANT SELECT, INSERT ON bills, stations, price_lists TO logora_desks;
        GRANT UPDATE (voided, void_reason) ON bills TO logora_desks;
        GRANT UPDATE (until) ON price_lists TO logora_desks;
        GRANT USAGE ON SEQUENCE price_lists_id_seq TO logora_desks;
    END IF;
END
$$;
