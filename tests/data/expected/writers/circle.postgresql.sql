-- The schema, in PostgreSQL, for an empty database.
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

-- Views

CREATE VIEW app.a AS
SELECT * FROM app.b;

CREATE VIEW app.b AS
SELECT * FROM app.a;

COMMIT;
