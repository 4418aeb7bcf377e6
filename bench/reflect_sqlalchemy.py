#!/usr/bin/python3
"""Reflects a whole database with SQLAlchemy's MetaData.reflect() (tables
and views, with their columns, keys, foreign keys and indexes) and prints
what it found as one JSON line, so the harness can check it read the same
schema the import read.

  reflect_sqlalchemy.py sqlite PATH
  reflect_sqlalchemy.py postgres DATABASE   (server and login from PGHOST,
                                             PGPORT, PGUSER, PGPASSWORD)
  reflect_sqlalchemy.py mariadb DATABASE    (server and login from QM_MARIA_HOST,
                                             QM_MARIA_PORT, QM_MARIA_USER,
                                             QM_MARIA_PASSWORD)

Run it with /usr/bin/python3, which sees Debian's python3-sqlalchemy,
python3-psycopg2 and python3-pymysql.
"""

import json
import os
import sys

import sqlalchemy


def main(argv):
    if len(argv) != 2 or argv[0] not in ("sqlite", "postgres", "mariadb"):
        sys.stderr.write(__doc__)
        return 2
    kind, target = argv
    if kind == "sqlite":
        url = "sqlite:///" + target
    elif kind == "mariadb":
        # Built from the environment: the password never appears in a
        # command line.
        url = sqlalchemy.engine.URL.create(
            "mysql+pymysql", username=os.environ["QM_MARIA_USER"], password=os.environ["QM_MARIA_PASSWORD"],
            host=os.environ["QM_MARIA_HOST"], port=int(os.environ["QM_MARIA_PORT"]), database=target,
            query={"charset": "utf8mb4"})
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
