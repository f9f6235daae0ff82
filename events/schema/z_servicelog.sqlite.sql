-- Event table of the embedded SQLite database (the file the Access connection string names).
-- Create the database with: sqlite3 /var/lib/ixan/ixan_log.db < z_servicelog.sqlite.sql
--
-- Datum holds the event time as text 'YYYY-MM-DD HH:MM:SS', so that comparisons with the
-- rewritten date literals ('YYYY-MM-DD HH:MM:SS') order by time.
-- The UNIQUE constraint over all eight columns refuses an event that a device exports again;
-- NOT NULL keeps NULLs from slipping past it (NULLs never compare equal).

PRAGMA journal_mode = WAL;

CREATE TABLE IF NOT EXISTS Z_servicelog (
    IP           TEXT NOT NULL DEFAULT '',
    Datum        TEXT NOT NULL DEFAULT '',
    Tuername     TEXT NOT NULL DEFAULT '',
    Ausloeser    TEXT NOT NULL DEFAULT '',
    Ereignis     TEXT NOT NULL DEFAULT '',
    Benutzer     TEXT NOT NULL DEFAULT '',
    Kartennummer TEXT NOT NULL DEFAULT '',
    Kartentyp    TEXT NOT NULL DEFAULT '',
    UNIQUE (IP, Datum, Tuername, Ausloeser, Ereignis, Benutzer, Kartennummer, Kartentyp)
);

-- The export selects by a range of Datum.
CREATE INDEX IF NOT EXISTS z_servicelog_datum ON Z_servicelog (Datum);
