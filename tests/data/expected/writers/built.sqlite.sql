-- The schema, in SQLite, for an empty database.
-- Written by quillmere-import --format sql.

BEGIN;

-- Schemas

-- The database aux is attached before this script runs: ATTACH DATABASE 'FILE' AS aux;

-- Tables

CREATE TABLE t (a) -- the first
;

CREATE TABLE /* c */ aux."u" (b);
CREATE TABLE built (
    a TEXT NOT NULL,
    b TEXT DEFAULT (datetime('now')) NOT NULL,
    c TEXT DEFAULT 'x' NOT NULL,
    UNIQUE (b),
    PRIMARY KEY (a),
    UNIQUE (c),
    FOREIGN KEY (a) REFERENCES built (a) ON DELETE CASCADE
) WITHOUT ROWID;

-- Views

CREATE VIEW inner_v AS SELECT a FROM t;
CREATE VIEW outer_v AS SELECT a FROM inner_v;

COMMIT;
