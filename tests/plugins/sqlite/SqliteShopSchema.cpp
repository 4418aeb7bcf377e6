#include "SqliteShopSchema.h"

namespace qm::test::sqlite {

std::string SqliteShopScript() {
  return R"sql(
    CREATE TABLE parent(id INTEGER PRIMARY KEY, code TEXT NOT NULL UNIQUE, a INT, b INT, UNIQUE (a, b));
    CREATE TABLE "we""ird 'tab" (
      "col ""q""" TEXT DEFAULT 'x''y',
      "ünï" INTEGER,
      "😀 emoji" REAL,
      PRIMARY KEY ("ünï", "col ""q"""));
    CREATE TABLE child(
      cid INTEGER PRIMARY KEY,
      pid INTEGER REFERENCES Parent(ID) ON DELETE CASCADE,
      pa INT, pb INT, note TEXT,
      g INT GENERATED ALWAYS AS (pa + pb) VIRTUAL,
      implicit_parent INT REFERENCES parent,
      FOREIGN KEY (pb, pa) REFERENCES parent(b, a) ON UPDATE SET NULL,
      FOREIGN KEY (note) REFERENCES parent(code),
      FOREIGN KEY (pa) REFERENCES parent(a),
      FOREIGN KEY (note) REFERENCES missing_table(x));
    CREATE TABLE wr(k TEXT PRIMARY KEY, v) WITHOUT ROWID;
    CREATE TABLE "order items" (
      "ünïcode ✓" TEXT,
      qty INT NOT NULL DEFAULT 1,
      FOREIGN KEY ("ünïcode ✓") REFERENCES "we""ird 'tab"("col ""q"""));
    CREATE TABLE dup(a INTEGER PRIMARY KEY, UNIQUE (a));
    CREATE TABLE pair(x INTEGER, y TEXT, PRIMARY KEY (x, y));
    CREATE TABLE dup_ref(x INT REFERENCES dup(a));
    CREATE TABLE checked(
      id INTEGER PRIMARY KEY,
      qty INT CONSTRAINT qty_range CHECK (qty > 0) CHECK ( qty < 1000 ),
      code TEXT CHECK (code <> ')' /* no bracket */),
      parent_id INT REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED,
      other_id INT REFERENCES parent DEFERRABLE,
      total INT GENERATED ALWAYS AS (qty * 2) STORED,
      label TEXT AS (upper(code)),
      CHECK ('x' <> code),
      CONSTRAINT "both ""set""" CHECK (qty IS NOT NULL AND
        code IS NOT NULL),
      FOREIGN KEY (code) REFERENCES parent(code) NOT DEFERRABLE INITIALLY DEFERRED) STRICT;
    CREATE TABLE strict_wr(k TEXT PRIMARY KEY, v ANY) STRICT, WITHOUT ROWID;
    CREATE INDEX ix_child_note ON child(note COLLATE NOCASE DESC, lower(note), pa) WHERE note IS NOT NULL AND pa > 0;
    CREATE UNIQUE INDEX "ix ""q"" (x)" ON "we""ird 'tab"("😀 emoji");
    CREATE INDEX "ix, comma" ON child(/* first */ pa + 1, "pb");
    CREATE VIRTUAL TABLE docs USING fts5(title, body);
    CREATE VIEW v_child AS SELECT cid, note AS "the note", pa + 1, g FROM child;
    CREATE VIEW "vue ünï 😀" AS SELECT 1 AS one;
    CREATE TRIGGER trg_child AFTER UPDATE OF note, pa ON child BEGIN SELECT 1; END;
    CREATE TRIGGER trg_v INSTEAD OF INSERT ON v_child BEGIN SELECT 2; END;
    CREATE TRIGGER trg_def DELETE ON Child BEGIN SELECT 3; END;
    INSERT INTO parent VALUES (1, 'a', 1, 2);
  )sql";
}

}  // namespace qm::test::sqlite
