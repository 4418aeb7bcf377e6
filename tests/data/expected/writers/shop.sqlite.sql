-- The schema of the database shop on db.example, in SQLite, for an empty database.
-- Written by quillmere-import --format sql.

BEGIN;

-- Schemas

-- The database sales is attached before this script runs: ATTACH DATABASE 'FILE' AS sales;
-- The database audit is attached before this script runs: ATTACH DATABASE 'FILE' AS audit;

-- Types and sequences

-- Not written: user type sales.mood (SQLite has no user-defined types).
-- Not written: sequence sales.order_seq (SQLite has no sequences).

-- Tables

CREATE TABLE sales.customers (
    id INTEGER NOT NULL,
    "e-mail" TEXT COLLATE NOCASE NOT NULL,
    note VARCHAR(200) DEFAULT 'none',
    PRIMARY KEY (id),
    UNIQUE ("e-mail"),
    CONSTRAINT ck_email CHECK ("e-mail" LIKE '%@%')
);

CREATE TABLE sales.orders (
    id BIGINT GENERATED ALWAYS AS IDENTITY NOT NULL,
    customer_id INTEGER,
    total NUMERIC(10,2) DEFAULT (0
	+ 0) NOT NULL,
    tax NUMERIC(10,2) GENERATED ALWAYS AS (total * 0.2) STORED,
    PRIMARY KEY (id),
    FOREIGN KEY (customer_id) REFERENCES customers (id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED
);

CREATE TABLE sales.events (
    at TIMESTAMP
);

CREATE TABLE audit.log (
    ref INTEGER,
    FOREIGN KEY (ref) REFERENCES orders (id),
    FOREIGN KEY (ref) REFERENCES customers (id) ON DELETE SET NULL
);

-- Not written: foreign key audit.log.fk_nowhere (the model holds neither its referenced table nor its clause).

-- Indexes

-- Not written: index sales.customers.ix_customers_note (the model holds no CREATE INDEX statement for it).
-- Not written: index sales.orders.ux_orders_total (the model holds no CREATE INDEX statement for it).

-- Views

CREATE VIEW sales."open orders" AS
SELECT * FROM orders;

-- Routines

-- Not written: routine sales.order_total (SQLite has no stored routines).
-- Not written: routine sales.log_it (SQLite has no stored routines).

-- Triggers

-- Not written: trigger sales.orders.trg_orders (the model holds no CREATE TRIGGER statement for it).
-- Not written: object of type 999 audit.thing (the sql format does not know objects of its type).

COMMIT;
