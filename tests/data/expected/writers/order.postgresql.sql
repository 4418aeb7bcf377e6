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

-- Tables

CREATE TABLE app.parent (
    id integer NOT NULL
);

CREATE TABLE app.events (
    id integer NOT NULL
) PARTITION BY LIST (id);

CREATE TABLE app.events_1 PARTITION OF app.events FOR VALUES IN (1);

-- Keys and checks

ALTER TABLE app.parent ADD CONSTRAINT parent_pkey PRIMARY KEY (id);
ALTER TABLE app.events_1 ADD CONSTRAINT events_1_pkey PRIMARY KEY (id);
ALTER TABLE app.events ADD CONSTRAINT events_pkey PRIMARY KEY (id);

-- Routines

CREATE OR REPLACE FUNCTION app.next_stamp()
 RETURNS integer
 LANGUAGE sql
AS $f$ SELECT 1 $f$;

-- Tables (continued)

CREATE TABLE app."Child" (
    id integer NOT NULL,
    stamp integer DEFAULT app.next_stamp()
);

-- Foreign keys

ALTER TABLE app."Child" ADD CONSTRAINT child_parent_fkey FOREIGN KEY (id) REFERENCES app.parent(id);

-- Views

CREATE VIEW app.inner_v AS
SELECT t.id FROM app."Child" t;

CREATE VIEW app.outer_v AS
SELECT x.id
   FROM app.inner_v x;

-- Routines (continued)

CREATE OR REPLACE FUNCTION app.trg_fn()
 RETURNS trigger
 LANGUAGE plpgsql
AS $f$BEGIN RETURN NEW; END$f$;

-- Triggers

CREATE TRIGGER trg AFTER INSERT ON app."Child" FOR EACH ROW EXECUTE FUNCTION app.trg_fn();

COMMIT;
