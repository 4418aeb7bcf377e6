-- The schema of the database db\nDROP TABLE x;, in PostgreSQL, for an empty database.
-- Written by quillmere-import --format sql.
-- Owners and grants are left out: import with --with-privileges to have them written.

SET client_encoding = 'UTF8';
SET standard_conforming_strings = on;
BEGIN;
SET LOCAL search_path = pg_catalog;
SET LOCAL check_function_bodies = false;
SET LOCAL client_min_messages = warning;

-- Schemas

CREATE SCHEMA app;
-- Not written: table space "fast\n-- x" (CREATE TABLESPACE names a folder of the server; the TABLESPACE clauses below expect it to exist).

-- Routines

-- Not written: routine app."sum\nDROP TABLE y;" (the model holds the aggregate's arguments and result but not its functions and state).

COMMIT;
