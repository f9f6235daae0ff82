-- Event table for a PostgreSQL database reached through an ODBC data source (psqlODBC).
-- Create it as the database's owner: psql -d DATABASE -f z_servicelog.postgresql.sql
--
-- Names are unquoted, so PostgreSQL folds them to lower case; the statements of the system
-- name them unquoted too, and the data access layer finds columns by name ignoring case.
-- Datum is a TIMESTAMP: the rewritten date literals {ts '...'} compare with it as times, and
-- a text that is not a time is refused.
-- The UNIQUE constraint over all eight columns refuses an event that a device exports again;
-- NOT NULL keeps NULLs from slipping past it (NULLs never compare equal). The connection
-- stays in autocommit, so a refused row aborts nothing but its own statement.
-- A row whose eight values together exceed about 2.7 kB does not fit the index and is refused.

CREATE TABLE IF NOT EXISTS Z_servicelog (
    IP           TEXT NOT NULL DEFAULT '',
    Datum        TIMESTAMP(0) NOT NULL,
    Tuername     TEXT NOT NULL DEFAULT '',
    Ausloeser    TEXT NOT NULL DEFAULT '',
    Ereignis     TEXT NOT NULL DEFAULT '',
    Benutzer     TEXT NOT NULL DEFAULT '',
    Kartennummer TEXT NOT NULL DEFAULT '',
    Kartentyp    TEXT NOT NULL DEFAULT '',
    CONSTRAINT z_servicelog_event_once
        UNIQUE (IP, Datum, Tuername, Ausloeser, Ereignis, Benutzer, Kartennummer, Kartentyp)
);

-- The export selects by a range of Datum.
CREATE INDEX IF NOT EXISTS z_servicelog_datum ON Z_servicelog (Datum);
