#include "MariaShopSchema.h"

namespace qm::test::mariadb {

std::string MariaShopScript() {
  return R"sql(
CREATE TABLE customer (
  id INT UNSIGNED ZEROFILL NOT NULL AUTO_INCREMENT,
  email VARCHAR(200) CHARACTER SET ascii COLLATE ascii_bin NOT NULL COMMENT 'login, unique',
  name VARCHAR(100) NOT NULL DEFAULT 'it''s \\ me',
  status ENUM('new','active','gone') NOT NULL DEFAULT 'new',
  flags SET('a','b','c') DEFAULT 'a,b',
  created TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP,
  score DECIMAL(8,2) DEFAULT (1 + 1),
  name_upper VARCHAR(100) AS (UPPER(name)) VIRTUAL,
  name_length INT AS (CHAR_LENGTH(name)) STORED,
  secret INT INVISIBLE DEFAULT 7,
  notes TEXT,
  PRIMARY KEY (id),
  UNIQUE KEY email (email),
  KEY name_prefix (name(10) DESC, status) COMMENT 'by name',
  FULLTEXT KEY notes_text (notes),
  KEY ignored_one (score) IGNORED,
  CONSTRAINT score_positive CHECK (score >= 0)
) ENGINE=InnoDB ROW_FORMAT=DYNAMIC COMMENT='who buys';

CREATE TABLE product (
  sku CHAR(8) NOT NULL,
  variant SMALLINT NOT NULL,
  price INT CHECK (price > 0),
  PRIMARY KEY (variant, sku),
  UNIQUE KEY sku_variant (sku, variant)
) ENGINE=InnoDB;

CREATE TABLE orders (
  id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  customer_id INT UNSIGNED ZEROFILL NOT NULL,
  sku CHAR(8),
  variant SMALLINT,
  CONSTRAINT orders_customer FOREIGN KEY (customer_id) REFERENCES customer (id) ON DELETE CASCADE,
  CONSTRAINT orders_product FOREIGN KEY (sku, variant) REFERENCES product (sku, variant)
    ON DELETE SET NULL ON UPDATE CASCADE
) ENGINE=InnoDB;

CREATE TABLE places (
  id INT NOT NULL PRIMARY KEY,
  spot POINT NOT NULL,
  token VARCHAR(40),
  SPATIAL KEY spot_index (spot),
  KEY token_hash (token) USING HASH
) ENGINE=Aria;

CREATE TABLE sales (
  id INT NOT NULL,
  region VARCHAR(10) NOT NULL,
  sold DATE NOT NULL
) PARTITION BY LIST COLUMNS (region) (
  PARTITION north VALUES IN ('n', 'it''s') COMMENT 'the north',
  PARTITION south VALUES IN ('s', 'a,b'),
  PARTITION rest DEFAULT
);

CREATE TABLE history (
  id INT NOT NULL,
  at INT NOT NULL
) PARTITION BY RANGE (at) SUBPARTITION BY HASH (id) SUBPARTITIONS 2 (
  PARTITION old VALUES LESS THAN (100),
  PARTITION current VALUES LESS THAN MAXVALUE
);

CREATE TABLE versioned (id INT) WITH SYSTEM VERSIONING;

CREATE SEQUENCE invoice_numbers START WITH 1000 INCREMENT BY 5 MINVALUE 10 MAXVALUE 9000000000 CYCLE
  COMMENT 'invoices';

CREATE SQL SECURITY INVOKER VIEW active_customers AS
  SELECT id, name FROM customer WHERE status = 'active' WITH CASCADED CHECK OPTION;
CREATE VIEW order_totals AS SELECT customer_id, COUNT(*) AS orders FROM orders GROUP BY customer_id;

CREATE TRIGGER orders_before BEFORE INSERT ON orders FOR EACH ROW SET NEW.sku = UPPER(NEW.sku);
CREATE TRIGGER orders_before_2 BEFORE INSERT ON orders FOR EACH ROW FOLLOWS orders_before SET NEW.variant = 1;
CREATE TRIGGER customer_after AFTER UPDATE ON customer FOR EACH ROW SET @changed = 1;

DELIMITER //
CREATE PROCEDURE place_order(IN who INT, INOUT amount DECIMAL(8,2), OUT `new id` BIGINT)
  COMMENT 'makes an order'
BEGIN
  INSERT INTO orders (customer_id) VALUES (who);
  SET `new id` = LAST_INSERT_ID();
  SET amount = amount * 2;
  SET @note = '😀 outside the BMP';
END//
CREATE FUNCTION greeting(who VARCHAR(20)) RETURNS VARCHAR(40) CHARSET utf8mb4 DETERMINISTIC SQL SECURITY INVOKER
  RETURN CONCAT('hello ', who, ' 😀')//
CREATE FUNCTION no_args() RETURNS INT RETURN 1//
DELIMITER ;
)sql";
}

}  // namespace qm::test::mariadb
