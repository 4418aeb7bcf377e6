#!/usr/bin/python3
"""Reflects a whole database with SQLAlchemy's MetaData.reflect() (tables
and views, with their columns, keys, foreign keys and indexes) and prints
what it found as one JSON line, so the harness can check it read the same
schema the import read.

  reflect_sqlalchemy.py sqlite PATH
  reflect_sqlalchemy.py postgres DATABASE   (server and login from PGHOST,
                                             PGPORT, PGUSER, PGPASSWORD)

Run it with /usr/bin/python3, which sees Debian's python3-sqlalchemy and
python3-psycopg2.
"""

import json
import sys

import sqlalchemy


def main(argv):
    if len(argv) != 2 or argv[0] not in ("sqlite", "postgres"):
        sys.stderr.write(__doc__)
        return 2
    kind, target = argv
    if kind == "sqlite":
        url = "sqlite:///" + target
    else:
        # No host or login in the URL: libpq takes them from the PG*
        # variables, so the password never appears in a command line.
        url = "postgresql+psycopg2:///" + target
    engine = sqlalchemy.create_engine(url)
    metadata = sqlalchemy.MetaData()
    metadata.reflect(bind=engine, views=True)
    engine.dispose()
    counts = {"relations": 0, "columns": 0, "foreign_keys": 0, "indexes": 0, "primary_keys": 0}
    for table in metadata.tables.values():
        counts["relations"] += 1
        counts["columns"] += len(table.columns)
        counts["foreign_keys"] += len(table.foreign_key_constraints)
        counts["indexes"] += len(table.indexes)
        counts["primary_keys"] += 1 if len(table.primary_key.columns) else 0
    print(json.dumps(counts))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
