-- The schema of the database shop on db.example, in MariaDB, for an empty database.
-- Written by quillmere-import --format sql.
-- Owners and grants are left out: import with --with-privileges to have them written.

SET NAMES utf8mb4;
SET SESSION sql_mode = 'NO_ENGINE_SUBSTITUTION';
SET SESSION foreign_key_checks = 0;

-- Schemas

CREATE DATABASE sales;
CREATE DATABASE audit;

-- Types and sequences

-- Not written: user type sales.mood (MariaDB has no user-defined types).
CREATE SEQUENCE sales.order_seq START WITH 1000 INCREMENT BY 5 NOCYCLE;

-- Tables

CREATE TABLE sales.customers (
    id INTEGER NOT NULL,
    `e-mail` TEXT COLLATE NOCASE NOT NULL,
    note VARCHAR(200) NULL DEFAULT 'none' COMMENT 'free text',
    PRIMARY KEY (id),
    UNIQUE KEY uq_email (`e-mail`),
    KEY ix_customers_note (note) USING HASH,
    CONSTRAINT ck_email CHECK ("e-mail" LIKE '%@%')
);

CREATE TABLE sales.orders (
    id BIGINT NOT NULL,
    customer_id INTEGER NULL,
    total NUMERIC(10,2) NOT NULL DEFAULT (0
	+ 0),
    tax NUMERIC(10,2) GENERATED ALWAYS AS (total * 0.2) STORED,
    PRIMARY KEY (id),
    KEY ux_orders_total (customer_id) USING BTREE
);

CREATE TABLE sales.events (
    at TIMESTAMP NULL
);

CREATE TABLE audit.log (
    ref INTEGER NULL
);

-- Foreign keys

ALTER TABLE sales.orders ADD CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES sales.customers (id) ON DELETE CASCADE ON UPDATE NO ACTION;
ALTER TABLE audit.log ADD FOREIGN KEY (ref) REFERENCES sales.orders (id);
ALTER TABLE audit.log ADD CONSTRAINT fk_by_key FOREIGN KEY (ref) REFERENCES sales.customers (id) ON DELETE SET NULL;
-- Not written: foreign key audit.log.fk_nowhere (the model holds neither its referenced table nor its definition).

-- Views

CREATE VIEW sales.`open orders` AS
SELECT * FROM orders;

-- Routines

-- Not written: routine sales.order_total (the model holds no body of it).
-- Not written: routine sales.log_it (the model holds no body of it).

-- Triggers

-- Not written: trigger sales.orders.trg_orders (the model holds no body of it).
-- Not written: object of type 999 audit.thing (the sql format does not know objects of its type).

SET SESSION foreign_key_checks = 1;
