-- The schema of the database shop on db.example, in PostgreSQL, for an empty database.
-- Written by quillmere-import --format sql.
-- Owners and grants are left out: import with --with-privileges to have them written.

SET client_encoding = 'UTF8';
SET standard_conforming_strings = on;
BEGIN;
SET LOCAL search_path = pg_catalog;
SET LOCAL check_function_bodies = false;
SET LOCAL client_min_messages = warning;

-- Schemas

CREATE SCHEMA sales;
CREATE SCHEMA audit;
-- Not written: table space fast (CREATE TABLESPACE names a folder of the server; the TABLESPACE clauses below expect it to exist).

-- Types and sequences

CREATE TYPE sales.mood AS ENUM (happy,sad);
CREATE SEQUENCE sales.order_seq START WITH 1000 INCREMENT BY 5 NO CYCLE;

-- Tables

CREATE TABLE sales.customers (
    id INTEGER NOT NULL,
    "e-mail" TEXT COLLATE NOCASE NOT NULL,
    note VARCHAR(200) DEFAULT 'none',
    CONSTRAINT ck_email CHECK ("e-mail" LIKE '%@%')
) TABLESPACE fast;
COMMENT ON COLUMN sales.customers.note IS 'free text';

CREATE TABLE sales.orders (
    id BIGINT GENERATED ALWAYS AS IDENTITY NOT NULL,
    customer_id INTEGER,
    total NUMERIC(10,2) DEFAULT 0
	+ 0 NOT NULL,
    tax NUMERIC(10,2) GENERATED ALWAYS AS (total * 0.2) STORED
);

CREATE TABLE sales.events (
    at TIMESTAMP
);

CREATE TABLE audit.log (
    ref INTEGER
);

-- Keys and checks

ALTER TABLE sales.customers ADD CONSTRAINT pk_customers PRIMARY KEY (id);
ALTER TABLE sales.customers ADD CONSTRAINT uq_email UNIQUE ("e-mail");
ALTER TABLE sales.orders ADD PRIMARY KEY (id);

-- Foreign keys

ALTER TABLE sales.orders ADD CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES sales.customers (id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED;
ALTER TABLE audit.log ADD FOREIGN KEY (ref) REFERENCES sales.orders (id);
ALTER TABLE audit.log ADD CONSTRAINT fk_by_key FOREIGN KEY (ref) REFERENCES sales.customers (id) ON DELETE SET NULL;
-- Not written: foreign key audit.log.fk_nowhere (the model holds neither its referenced table nor its definition).

-- Indexes

CREATE INDEX ix_customers_note ON sales.customers USING hash (note) INCLUDE ("e-mail") TABLESPACE fast WHERE note IS NOT NULL
  AND note <> '';

CREATE UNIQUE INDEX ux_orders_total ON sales.orders USING btree (customer_id, round(total));

-- Views

CREATE VIEW sales."open orders" AS
SELECT * FROM orders;

-- Routines

-- Not written: routine sales.order_total (the model holds no CREATE statement for it).
-- Not written: routine sales.log_it (the model holds no CREATE statement for it).

-- Triggers

-- Not written: trigger sales.orders.trg_orders (the model holds no CREATE statement for it).
-- Not written: object of type 999 audit.thing (the sql format does not know objects of its type).

COMMIT;
