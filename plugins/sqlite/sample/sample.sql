-- The bundled sample: a small bookshop, as quillmere-import imports it when
-- no database is given. It is built into a private SQLite file at run time.
--
-- It exercises what an import must carry through intact: single and
-- composite primary keys, unique constraints, foreign keys with ON DELETE /
-- ON UPDATE actions (a composite one and a self-reference among them),
-- plain, unique, partial and expression indexes, views, triggers, and names
-- with spaces, quotes (' and ") and non-ASCII letters.

PRAGMA foreign_keys = ON;

CREATE TABLE publishers (
  publisher_id INTEGER PRIMARY KEY AUTOINCREMENT,
  name         TEXT NOT NULL UNIQUE,
  city         TEXT,
  founded      INTEGER CHECK (founded > 1400)
);

CREATE TABLE authors (
  author_id    INTEGER PRIMARY KEY,
  full_name    TEXT NOT NULL,
  "naïve name" TEXT,
  born         DATE,
  country_code CHAR(2) NOT NULL DEFAULT 'DE',
  CONSTRAINT uq_author_name_born UNIQUE (full_name, born)
);

CREATE TABLE "Bücher" (
  isbn         TEXT PRIMARY KEY,
  "Titel"      TEXT NOT NULL,
  publisher_id INTEGER
               CONSTRAINT fk_buecher_publisher REFERENCES publishers (publisher_id)
               ON DELETE SET NULL ON UPDATE CASCADE,
  published_on DATE,
  price        NUMERIC(8,2) CHECK (price >= 0),
  pages        INTEGER DEFAULT 0
);

CREATE TABLE book_authors (
  isbn      TEXT NOT NULL,
  author_id INTEGER NOT NULL,
  ordinal   INTEGER NOT NULL DEFAULT 1,
  PRIMARY KEY (isbn, author_id),
  FOREIGN KEY (isbn) REFERENCES "Bücher" (isbn) ON DELETE CASCADE,
  FOREIGN KEY (author_id) REFERENCES authors (author_id) ON DELETE RESTRICT
);

CREATE TABLE categories (
  category_id INTEGER PRIMARY KEY,
  parent_id   INTEGER REFERENCES categories (category_id) ON DELETE CASCADE,
  name        TEXT NOT NULL,
  UNIQUE (parent_id, name)
);

CREATE TABLE book_categories (
  isbn        TEXT NOT NULL REFERENCES "Bücher" (isbn) ON DELETE CASCADE ON UPDATE CASCADE,
  category_id INTEGER NOT NULL REFERENCES categories (category_id) ON DELETE CASCADE,
  PRIMARY KEY (category_id, isbn)
) WITHOUT ROWID;

CREATE TABLE customers (
  customer_id    INTEGER PRIMARY KEY,
  email          TEXT NOT NULL COLLATE NOCASE,
  "display name" TEXT,
  created_at     TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP,
  deleted_at     TEXT,
  CONSTRAINT uq_customer_email UNIQUE (email)
);

CREATE TABLE "Заказы" (
  "номер"     INTEGER PRIMARY KEY,
  customer_id INTEGER NOT NULL
              REFERENCES customers (customer_id) ON DELETE CASCADE,
  ordered_at  TEXT NOT NULL DEFAULT (datetime('now')),
  status      TEXT NOT NULL DEFAULT 'open'
              CHECK (status IN ('open', 'paid', 'shipped', 'cancelled'))
);

CREATE TABLE order_lines (
  "номер"    INTEGER NOT NULL,
  line_no    INTEGER NOT NULL,
  isbn       TEXT NOT NULL,
  quantity   INTEGER NOT NULL DEFAULT 1 CHECK (quantity > 0),
  unit_price NUMERIC(8,2) NOT NULL,
  PRIMARY KEY ("номер", line_no),
  CONSTRAINT fk_line_order FOREIGN KEY ("номер") REFERENCES "Заказы" ("номер")
    ON DELETE CASCADE ON UPDATE CASCADE,
  CONSTRAINT fk_line_book FOREIGN KEY (isbn) REFERENCES "Bücher" (isbn)
    ON UPDATE CASCADE
);

CREATE TABLE warehouses (
  code             TEXT PRIMARY KEY,
  name             TEXT NOT NULL UNIQUE,
  "O'Brien's note" TEXT
);

CREATE TABLE stock (
  warehouse_code TEXT NOT NULL REFERENCES warehouses (code) ON DELETE CASCADE ON UPDATE CASCADE,
  isbn           TEXT NOT NULL REFERENCES "Bücher" (isbn) ON DELETE CASCADE,
  on_hand        INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (warehouse_code, isbn)
);

-- A composite foreign key onto the composite primary key of stock.
CREATE TABLE stock_movements (
  movement_id    INTEGER PRIMARY KEY,
  warehouse_code TEXT NOT NULL,
  isbn           TEXT NOT NULL,
  delta          INTEGER NOT NULL,
  moved_at       TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP,
  CONSTRAINT fk_movement_stock FOREIGN KEY (warehouse_code, isbn)
    REFERENCES stock (warehouse_code, isbn) ON DELETE NO ACTION ON UPDATE CASCADE
);

CREATE TABLE reviews (
  review_id   INTEGER PRIMARY KEY,
  isbn        TEXT NOT NULL REFERENCES "Bücher" (isbn) ON DELETE CASCADE,
  customer_id INTEGER REFERENCES customers (customer_id) ON DELETE SET NULL,
  rating      INTEGER NOT NULL CHECK (rating BETWEEN 1 AND 5),
  body        TEXT,
  UNIQUE (isbn, customer_id)
);

CREATE TABLE "audit log" (
  entry_id             INTEGER PRIMARY KEY,
  table_name           TEXT NOT NULL,
  "changed ""when"""   TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP,
  "O'Brien"            TEXT,
  detail               TEXT
);

CREATE INDEX idx_buecher_titel ON "Bücher" ("Titel");
CREATE INDEX "idx Bücher price" ON "Bücher" (price DESC, "Titel");
CREATE UNIQUE INDEX ux_customers_email_lower ON customers (lower(email));
CREATE INDEX idx_orders_open ON "Заказы" (customer_id, ordered_at) WHERE status = 'open';
CREATE INDEX idx_customers_active ON customers (customer_id) WHERE deleted_at IS NULL;
CREATE INDEX idx_reviews_rating ON reviews (isbn, rating);
CREATE INDEX idx_movements_stock ON stock_movements (warehouse_code, isbn);

CREATE VIEW book_overview AS
  SELECT b.isbn, b."Titel", p.name AS publisher, b.price
  FROM "Bücher" AS b LEFT JOIN publishers AS p ON p.publisher_id = b.publisher_id;

CREATE VIEW "open orders" AS
  SELECT o."номер", c.email, o.ordered_at
  FROM "Заказы" AS o JOIN customers AS c ON c.customer_id = o.customer_id
  WHERE o.status = 'open';

CREATE VIEW "Bücher ""beliebt""" AS
  SELECT isbn, avg(rating) AS avg_rating, count(*) AS reviews
  FROM reviews GROUP BY isbn HAVING count(*) >= 3;

CREATE TRIGGER trg_order_line_stock AFTER INSERT ON order_lines
BEGIN
  UPDATE stock SET on_hand = on_hand - NEW.quantity WHERE isbn = NEW.isbn;
END;

CREATE TRIGGER trg_review_audit AFTER UPDATE OF rating ON reviews
BEGIN
  INSERT INTO "audit log" (table_name, detail)
  VALUES ('reviews', 'rating ' || OLD.rating || ' -> ' || NEW.rating);
END;

CREATE TRIGGER "trg Bücher löschen" BEFORE DELETE ON "Bücher"
WHEN EXISTS (SELECT 1 FROM order_lines WHERE isbn = OLD.isbn)
BEGIN
  SELECT RAISE(ABORT, 'book has orders');
END;

CREATE TRIGGER trg_open_orders_cancel INSTEAD OF DELETE ON "open orders"
BEGIN
  UPDATE "Заказы" SET status = 'cancelled' WHERE "номер" = OLD."номер";
END;

-- A few rows, so that the sample is a database one can also query.
INSERT INTO publishers (name, city, founded) VALUES
  ('Nordlicht Verlag', 'Hamburg', 1949),
  ('O''Hara & Sons', 'Dublin', 1872);
INSERT INTO authors (author_id, full_name, "naïve name", born, country_code) VALUES
  (1, 'Zoë Brontë', 'Zoe Bronte', '1961-04-02', 'GB'),
  (2, 'Jürgen Öztürk', 'Juergen Oeztuerk', '1975-11-30', 'DE');
INSERT INTO "Bücher" (isbn, "Titel", publisher_id, published_on, price, pages) VALUES
  ('978-3-16-148410-0', 'Über Brücken', 1, '2019-03-01', 24.90, 312),
  ('978-1-4028-9462-6', 'The "Quiet" Harbour', 2, '2021-09-15', 18.50, 256);
INSERT INTO book_authors (isbn, author_id, ordinal) VALUES
  ('978-3-16-148410-0', 2, 1),
  ('978-1-4028-9462-6', 1, 1);
INSERT INTO warehouses (code, name, "O'Brien's note") VALUES ('HH', 'Hamburg Süd', 'dock 4');
INSERT INTO stock (warehouse_code, isbn, on_hand) VALUES
  ('HH', '978-3-16-148410-0', 40),
  ('HH', '978-1-4028-9462-6', 12);
INSERT INTO customers (customer_id, email, "display name") VALUES (1, 'anna@example.org', 'Анна');
INSERT INTO "Заказы" ("номер", customer_id, status) VALUES (1001, 1, 'open');
INSERT INTO order_lines ("номер", line_no, isbn, quantity, unit_price) VALUES
  (1001, 1, '978-3-16-148410-0', 1, 24.90);
