#!/usr/bin/python3
# Writes the scripts of tests/data/versions from the Debian packages
# python3-django, python3-django-taggit and python3-django-celery-beat: for
# each application and database, old.sql (the application's migrations up
# to its OLD version, from an empty database) and upgrade.sql (its own
# migrations from OLD to today's), as its own migration machinery writes
# them.
#
#   /usr/bin/python3 tests/data/versions/generate.py OUTDIR
#
# PostgreSQL and MariaDB need a server to write their SQL: the environment
# of scripts/pg and scripts/mariadb (PGHOST..., QM_MARIA_...).
import os
import sys

import django
from django.conf import settings

CONTRIB = ["contenttypes", "auth", "admin", "sessions", "sites"]
# application folder -> (OLD's migrations, the apps whose tables it holds)
PAIRS = {
    # Django 1.7's first migrations, and 1.8's (contenttypes' name dropped).
    "django-1.7": ({app: "0001_initial" for app in CONTRIB}, CONTRIB),
    "django-1.8": ({**{app: "0001_initial" for app in CONTRIB}, "contenttypes": "0002_remove_content_type_name",
                    "auth": "0006_require_contenttypes_0002"}, CONTRIB),
    "django-taggit": ({"taggit": "0001_initial"}, CONTRIB + ["taggit"]),
    "django-celery-beat": ({"django_celery_beat": "0001_initial"}, ["django_celery_beat"]),
}
ENGINES = {
    "sqlite": {"ENGINE": "django.db.backends.sqlite3", "NAME": ":memory:"},
    "postgres": {"ENGINE": "django.db.backends.postgresql", "NAME": os.environ.get("PGDATABASE", ""),
                 "HOST": os.environ.get("PGHOST", ""), "PORT": os.environ.get("PGPORT", ""),
                 "USER": os.environ.get("PGUSER", ""), "PASSWORD": os.environ.get("PGPASSWORD", "")},
    "mariadb": {"ENGINE": "django.db.backends.mysql", "NAME": os.environ.get("QM_MARIA_DATABASE", ""),
                "HOST": os.environ.get("QM_MARIA_HOST", ""), "PORT": os.environ.get("QM_MARIA_PORT", ""),
                "USER": os.environ.get("QM_MARIA_USER", ""), "PASSWORD": os.environ.get("QM_MARIA_PASSWORD", ""),
                "OPTIONS": {"charset": "utf8mb4"}},
}

out = sys.argv[1]
settings.configure(
    DATABASES={"default": ENGINES["sqlite"], **ENGINES},
    INSTALLED_APPS=["django.contrib." + app for app in CONTRIB] + ["taggit", "django_celery_beat"],
    USE_TZ=True, SECRET_KEY="schema only")
django.setup()

from django.db import connections  # noqa: E402
from django.db.migrations.executor import MigrationExecutor  # noqa: E402


def sql(executor, plan, state):
    statements = []
    for migration, _ in plan:
        with executor.connection.schema_editor(collect_sql=True, atomic=migration.atomic) as editor:
            state = migration.apply(state, editor, collect_sql=True)
        statements.extend(editor.collected_sql)
    return "".join(s + "\n" for s in statements)


for engine in ENGINES:
    executor = MigrationExecutor(connections[engine])
    graph = executor.loader.graph
    for folder, (old, apps) in PAIRS.items():
        # OLD: every app of the pair at its OLD migration, or today's.
        targets = [(app, old.get(app) or graph.leaf_nodes(app)[0][1]) for app in apps]
        leaves = [graph.leaf_nodes(app)[0] for app in apps]
        before = executor.migration_plan(targets, clean_start=True)
        done = {m.app_label + "." + m.name for m, _ in before}
        after = [(m, b) for m, b in executor.migration_plan(leaves, clean_start=True)
                 if m.app_label + "." + m.name not in done]
        empty = executor.loader.project_state(None, at_end=False)
        os.makedirs(os.path.join(out, folder), exist_ok=True)
        head = "-- {} on {}, made by generate.py: the migrations {{}}\n".format(folder, engine)
        with open(os.path.join(out, folder, engine + "-old.sql"), "w") as f:
            f.write(head.format(", ".join(sorted(done))) + sql(executor, before, empty))
        state = executor.loader.project_state(targets, at_end=True)
        with open(os.path.join(out, folder, engine + "-upgrade.sql"), "w") as f:
            f.write(head.format(", ".join(m.app_label + "." + m.name for m, _ in after)) + sql(executor, after, state))
