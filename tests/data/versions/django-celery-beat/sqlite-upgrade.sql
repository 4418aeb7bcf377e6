-- django-celery-beat on sqlite, made by generate.py: the migrations django_celery_beat.0002_auto_20161118_0346, django_celery_beat.0003_auto_20161209_0049, django_celery_beat.0004_auto_20170221_0000, django_celery_beat.0005_add_solarschedule_events_choices, django_celery_beat.0006_auto_20180322_0932, django_celery_beat.0007_auto_20180521_0826, django_celery_beat.0008_auto_20180914_1922, django_celery_beat.0006_auto_20180210_1226, django_celery_beat.0006_periodictask_priority, django_celery_beat.0009_periodictask_headers, django_celery_beat.0010_auto_20190429_0326, django_celery_beat.0011_auto_20190508_0153, django_celery_beat.0012_periodictask_expire_seconds, django_celery_beat.0013_auto_20200609_0727, django_celery_beat.0014_remove_clockedschedule_enabled, django_celery_beat.0015_edit_solarschedule_events_choices, django_celery_beat.0016_alter_crontabschedule_timezone
--
-- Create model SolarSchedule
--
CREATE TABLE "django_celery_beat_solarschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "event" varchar(24) NOT NULL, "latitude" decimal NOT NULL, "longitude" decimal NOT NULL);
--
-- Add field solar to periodictask
--
CREATE TABLE "new__django_celery_beat_periodictask" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "name" varchar(200) NOT NULL UNIQUE, "task" varchar(200) NOT NULL, "args" text NOT NULL, "kwargs" text NOT NULL, "queue" varchar(200) NULL, "exchange" varchar(200) NULL, "routing_key" varchar(200) NULL, "expires" datetime NULL, "enabled" bool NOT NULL, "last_run_at" datetime NULL, "total_run_count" integer unsigned NOT NULL CHECK ("total_run_count" >= 0), "date_changed" datetime NOT NULL, "description" text NOT NULL, "crontab_id" integer NULL REFERENCES "django_celery_beat_crontabschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "interval_id" integer NULL REFERENCES "django_celery_beat_intervalschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "solar_id" integer NULL REFERENCES "django_celery_beat_solarschedule" ("id") DEFERRABLE INITIALLY DEFERRED);
INSERT INTO "new__django_celery_beat_periodictask" ("id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id") SELECT "id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", NULL FROM "django_celery_beat_periodictask";
DROP TABLE "django_celery_beat_periodictask";
ALTER TABLE "new__django_celery_beat_periodictask" RENAME TO "django_celery_beat_periodictask";
CREATE INDEX "django_celery_beat_periodictask_crontab_id_d3cba168" ON "django_celery_beat_periodictask" ("crontab_id");
CREATE INDEX "django_celery_beat_periodictask_interval_id_a8ca27da" ON "django_celery_beat_periodictask" ("interval_id");
CREATE INDEX "django_celery_beat_periodictask_solar_id_a87ce72c" ON "django_celery_beat_periodictask" ("solar_id");
--
-- Change Meta options on solarschedule
--
--
-- Alter unique_together for solarschedule (1 constraint(s))
--
CREATE UNIQUE INDEX "django_celery_beat_solarschedule_event_latitude_longitude_ba64999a_uniq" ON "django_celery_beat_solarschedule" ("event", "latitude", "longitude");
--
-- Alter field longitude on solarschedule
--
--
-- Alter field event on solarschedule
--
CREATE TABLE "new__django_celery_beat_solarschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "latitude" decimal NOT NULL, "longitude" decimal NOT NULL, "event" varchar(24) NOT NULL);
INSERT INTO "new__django_celery_beat_solarschedule" ("id", "latitude", "longitude", "event") SELECT "id", "latitude", "longitude", "event" FROM "django_celery_beat_solarschedule";
DROP TABLE "django_celery_beat_solarschedule";
ALTER TABLE "new__django_celery_beat_solarschedule" RENAME TO "django_celery_beat_solarschedule";
CREATE UNIQUE INDEX "django_celery_beat_solarschedule_event_latitude_longitude_ba64999a_uniq" ON "django_celery_beat_solarschedule" ("event", "latitude", "longitude");
--
-- Change Meta options on crontabschedule
--
--
-- Add field timezone to crontabschedule
--
CREATE TABLE "new__django_celery_beat_crontabschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "minute" varchar(64) NOT NULL, "hour" varchar(64) NOT NULL, "day_of_week" varchar(64) NOT NULL, "day_of_month" varchar(64) NOT NULL, "month_of_year" varchar(64) NOT NULL, "timezone" varchar(63) NOT NULL);
INSERT INTO "new__django_celery_beat_crontabschedule" ("id", "minute", "hour", "day_of_week", "day_of_month", "month_of_year", "timezone") SELECT "id", "minute", "hour", "day_of_week", "day_of_month", "month_of_year", 'UTC' FROM "django_celery_beat_crontabschedule";
DROP TABLE "django_celery_beat_crontabschedule";
ALTER TABLE "new__django_celery_beat_crontabschedule" RENAME TO "django_celery_beat_crontabschedule";
--
-- Alter field day_of_month on crontabschedule
--
CREATE TABLE "new__django_celery_beat_crontabschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "minute" varchar(64) NOT NULL, "hour" varchar(64) NOT NULL, "day_of_week" varchar(64) NOT NULL, "month_of_year" varchar(64) NOT NULL, "timezone" varchar(63) NOT NULL, "day_of_month" varchar(124) NOT NULL);
INSERT INTO "new__django_celery_beat_crontabschedule" ("id", "minute", "hour", "day_of_week", "month_of_year", "timezone", "day_of_month") SELECT "id", "minute", "hour", "day_of_week", "month_of_year", "timezone", "day_of_month" FROM "django_celery_beat_crontabschedule";
DROP TABLE "django_celery_beat_crontabschedule";
ALTER TABLE "new__django_celery_beat_crontabschedule" RENAME TO "django_celery_beat_crontabschedule";
--
-- Alter field hour on crontabschedule
--
CREATE TABLE "new__django_celery_beat_crontabschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "minute" varchar(64) NOT NULL, "day_of_week" varchar(64) NOT NULL, "day_of_month" varchar(124) NOT NULL, "month_of_year" varchar(64) NOT NULL, "timezone" varchar(63) NOT NULL, "hour" varchar(96) NOT NULL);
INSERT INTO "new__django_celery_beat_crontabschedule" ("id", "minute", "day_of_week", "day_of_month", "month_of_year", "timezone", "hour") SELECT "id", "minute", "day_of_week", "day_of_month", "month_of_year", "timezone", "hour" FROM "django_celery_beat_crontabschedule";
DROP TABLE "django_celery_beat_crontabschedule";
ALTER TABLE "new__django_celery_beat_crontabschedule" RENAME TO "django_celery_beat_crontabschedule";
--
-- Alter field minute on crontabschedule
--
CREATE TABLE "new__django_celery_beat_crontabschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "hour" varchar(96) NOT NULL, "day_of_week" varchar(64) NOT NULL, "day_of_month" varchar(124) NOT NULL, "month_of_year" varchar(64) NOT NULL, "timezone" varchar(63) NOT NULL, "minute" varchar(240) NOT NULL);
INSERT INTO "new__django_celery_beat_crontabschedule" ("id", "hour", "day_of_week", "day_of_month", "month_of_year", "timezone", "minute") SELECT "id", "hour", "day_of_week", "day_of_month", "month_of_year", "timezone", "minute" FROM "django_celery_beat_crontabschedule";
DROP TABLE "django_celery_beat_crontabschedule";
ALTER TABLE "new__django_celery_beat_crontabschedule" RENAME TO "django_celery_beat_crontabschedule";
--
-- Add field one_off to periodictask
--
CREATE TABLE "new__django_celery_beat_periodictask" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "name" varchar(200) NOT NULL UNIQUE, "task" varchar(200) NOT NULL, "args" text NOT NULL, "kwargs" text NOT NULL, "queue" varchar(200) NULL, "exchange" varchar(200) NULL, "routing_key" varchar(200) NULL, "expires" datetime NULL, "enabled" bool NOT NULL, "last_run_at" datetime NULL, "total_run_count" integer unsigned NOT NULL CHECK ("total_run_count" >= 0), "date_changed" datetime NOT NULL, "description" text NOT NULL, "crontab_id" integer NULL REFERENCES "django_celery_beat_crontabschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "interval_id" integer NULL REFERENCES "django_celery_beat_intervalschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "solar_id" integer NULL REFERENCES "django_celery_beat_solarschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "one_off" bool NOT NULL);
INSERT INTO "new__django_celery_beat_periodictask" ("id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off") SELECT "id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", 0 FROM "django_celery_beat_periodictask";
DROP TABLE "django_celery_beat_periodictask";
ALTER TABLE "new__django_celery_beat_periodictask" RENAME TO "django_celery_beat_periodictask";
CREATE INDEX "django_celery_beat_periodictask_crontab_id_d3cba168" ON "django_celery_beat_periodictask" ("crontab_id");
CREATE INDEX "django_celery_beat_periodictask_interval_id_a8ca27da" ON "django_celery_beat_periodictask" ("interval_id");
CREATE INDEX "django_celery_beat_periodictask_solar_id_a87ce72c" ON "django_celery_beat_periodictask" ("solar_id");
--
-- Add field start_time to periodictask
--
CREATE TABLE "new__django_celery_beat_periodictask" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "name" varchar(200) NOT NULL UNIQUE, "task" varchar(200) NOT NULL, "args" text NOT NULL, "kwargs" text NOT NULL, "queue" varchar(200) NULL, "exchange" varchar(200) NULL, "routing_key" varchar(200) NULL, "expires" datetime NULL, "enabled" bool NOT NULL, "last_run_at" datetime NULL, "total_run_count" integer unsigned NOT NULL CHECK ("total_run_count" >= 0), "date_changed" datetime NOT NULL, "description" text NOT NULL, "crontab_id" integer NULL REFERENCES "django_celery_beat_crontabschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "interval_id" integer NULL REFERENCES "django_celery_beat_intervalschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "solar_id" integer NULL REFERENCES "django_celery_beat_solarschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "one_off" bool NOT NULL, "start_time" datetime NULL);
INSERT INTO "new__django_celery_beat_periodictask" ("id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", "start_time") SELECT "id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", NULL FROM "django_celery_beat_periodictask";
DROP TABLE "django_celery_beat_periodictask";
ALTER TABLE "new__django_celery_beat_periodictask" RENAME TO "django_celery_beat_periodictask";
CREATE INDEX "django_celery_beat_periodictask_crontab_id_d3cba168" ON "django_celery_beat_periodictask" ("crontab_id");
CREATE INDEX "django_celery_beat_periodictask_interval_id_a8ca27da" ON "django_celery_beat_periodictask" ("interval_id");
CREATE INDEX "django_celery_beat_periodictask_solar_id_a87ce72c" ON "django_celery_beat_periodictask" ("solar_id");
--
-- Alter field day_of_month on crontabschedule
--
--
-- Alter field day_of_week on crontabschedule
--
--
-- Alter field hour on crontabschedule
--
--
-- Alter field minute on crontabschedule
--
--
-- Alter field month_of_year on crontabschedule
--
--
-- Alter field day_of_month on crontabschedule
--
--
-- Alter field hour on crontabschedule
--
--
-- Alter field minute on crontabschedule
--
--
-- Add field priority to periodictask
--
CREATE TABLE "new__django_celery_beat_periodictask" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "name" varchar(200) NOT NULL UNIQUE, "task" varchar(200) NOT NULL, "args" text NOT NULL, "kwargs" text NOT NULL, "queue" varchar(200) NULL, "exchange" varchar(200) NULL, "routing_key" varchar(200) NULL, "expires" datetime NULL, "enabled" bool NOT NULL, "last_run_at" datetime NULL, "total_run_count" integer unsigned NOT NULL CHECK ("total_run_count" >= 0), "date_changed" datetime NOT NULL, "description" text NOT NULL, "crontab_id" integer NULL REFERENCES "django_celery_beat_crontabschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "interval_id" integer NULL REFERENCES "django_celery_beat_intervalschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "solar_id" integer NULL REFERENCES "django_celery_beat_solarschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "one_off" bool NOT NULL, "start_time" datetime NULL, "priority" integer unsigned NULL CHECK ("priority" >= 0));
INSERT INTO "new__django_celery_beat_periodictask" ("id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", "start_time", "priority") SELECT "id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", "start_time", NULL FROM "django_celery_beat_periodictask";
DROP TABLE "django_celery_beat_periodictask";
ALTER TABLE "new__django_celery_beat_periodictask" RENAME TO "django_celery_beat_periodictask";
CREATE INDEX "django_celery_beat_periodictask_crontab_id_d3cba168" ON "django_celery_beat_periodictask" ("crontab_id");
CREATE INDEX "django_celery_beat_periodictask_interval_id_a8ca27da" ON "django_celery_beat_periodictask" ("interval_id");
CREATE INDEX "django_celery_beat_periodictask_solar_id_a87ce72c" ON "django_celery_beat_periodictask" ("solar_id");
--
-- Add field headers to periodictask
--
CREATE TABLE "new__django_celery_beat_periodictask" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "name" varchar(200) NOT NULL UNIQUE, "task" varchar(200) NOT NULL, "args" text NOT NULL, "kwargs" text NOT NULL, "queue" varchar(200) NULL, "exchange" varchar(200) NULL, "routing_key" varchar(200) NULL, "expires" datetime NULL, "enabled" bool NOT NULL, "last_run_at" datetime NULL, "total_run_count" integer unsigned NOT NULL CHECK ("total_run_count" >= 0), "date_changed" datetime NOT NULL, "description" text NOT NULL, "crontab_id" integer NULL REFERENCES "django_celery_beat_crontabschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "interval_id" integer NULL REFERENCES "django_celery_beat_intervalschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "solar_id" integer NULL REFERENCES "django_celery_beat_solarschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "one_off" bool NOT NULL, "start_time" datetime NULL, "priority" integer unsigned NULL CHECK ("priority" >= 0), "headers" text NOT NULL);
INSERT INTO "new__django_celery_beat_periodictask" ("id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", "start_time", "priority", "headers") SELECT "id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", "start_time", "priority", '{}' FROM "django_celery_beat_periodictask";
DROP TABLE "django_celery_beat_periodictask";
ALTER TABLE "new__django_celery_beat_periodictask" RENAME TO "django_celery_beat_periodictask";
CREATE INDEX "django_celery_beat_periodictask_crontab_id_d3cba168" ON "django_celery_beat_periodictask" ("crontab_id");
CREATE INDEX "django_celery_beat_periodictask_interval_id_a8ca27da" ON "django_celery_beat_periodictask" ("interval_id");
CREATE INDEX "django_celery_beat_periodictask_solar_id_a87ce72c" ON "django_celery_beat_periodictask" ("solar_id");
--
-- Alter field day_of_month on crontabschedule
--
--
-- Alter field day_of_week on crontabschedule
--
--
-- Alter field hour on crontabschedule
--
--
-- Alter field minute on crontabschedule
--
--
-- Alter field month_of_year on crontabschedule
--
--
-- Alter field timezone on crontabschedule
--
--
-- Alter field every on intervalschedule
--
--
-- Alter field period on intervalschedule
--
--
-- Alter field args on periodictask
--
--
-- Alter field crontab on periodictask
--
--
-- Alter field date_changed on periodictask
--
--
-- Alter field description on periodictask
--
--
-- Alter field enabled on periodictask
--
--
-- Alter field exchange on periodictask
--
--
-- Alter field expires on periodictask
--
--
-- Alter field headers on periodictask
--
--
-- Alter field interval on periodictask
--
--
-- Alter field kwargs on periodictask
--
--
-- Alter field last_run_at on periodictask
--
--
-- Alter field name on periodictask
--
--
-- Alter field one_off on periodictask
--
--
-- Alter field priority on periodictask
--
--
-- Alter field queue on periodictask
--
--
-- Alter field routing_key on periodictask
--
--
-- Alter field solar on periodictask
--
--
-- Alter field start_time on periodictask
--
--
-- Alter field task on periodictask
--
--
-- Alter field total_run_count on periodictask
--
--
-- Alter field event on solarschedule
--
--
-- Alter field latitude on solarschedule
--
--
-- Alter field longitude on solarschedule
--
--
-- Create model ClockedSchedule
--
CREATE TABLE "django_celery_beat_clockedschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "clocked_time" datetime NOT NULL, "enabled" bool NOT NULL);
--
-- Add field clocked to periodictask
--
CREATE TABLE "new__django_celery_beat_periodictask" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "name" varchar(200) NOT NULL UNIQUE, "task" varchar(200) NOT NULL, "args" text NOT NULL, "kwargs" text NOT NULL, "queue" varchar(200) NULL, "exchange" varchar(200) NULL, "routing_key" varchar(200) NULL, "expires" datetime NULL, "enabled" bool NOT NULL, "last_run_at" datetime NULL, "total_run_count" integer unsigned NOT NULL CHECK ("total_run_count" >= 0), "date_changed" datetime NOT NULL, "description" text NOT NULL, "crontab_id" integer NULL REFERENCES "django_celery_beat_crontabschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "interval_id" integer NULL REFERENCES "django_celery_beat_intervalschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "solar_id" integer NULL REFERENCES "django_celery_beat_solarschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "one_off" bool NOT NULL, "start_time" datetime NULL, "priority" integer unsigned NULL CHECK ("priority" >= 0), "headers" text NOT NULL, "clocked_id" integer NULL REFERENCES "django_celery_beat_clockedschedule" ("id") DEFERRABLE INITIALLY DEFERRED);
INSERT INTO "new__django_celery_beat_periodictask" ("id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", "start_time", "priority", "headers", "clocked_id") SELECT "id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", "start_time", "priority", "headers", NULL FROM "django_celery_beat_periodictask";
DROP TABLE "django_celery_beat_periodictask";
ALTER TABLE "new__django_celery_beat_periodictask" RENAME TO "django_celery_beat_periodictask";
CREATE INDEX "django_celery_beat_periodictask_crontab_id_d3cba168" ON "django_celery_beat_periodictask" ("crontab_id");
CREATE INDEX "django_celery_beat_periodictask_interval_id_a8ca27da" ON "django_celery_beat_periodictask" ("interval_id");
CREATE INDEX "django_celery_beat_periodictask_solar_id_a87ce72c" ON "django_celery_beat_periodictask" ("solar_id");
CREATE INDEX "django_celery_beat_periodictask_clocked_id_47a69f82" ON "django_celery_beat_periodictask" ("clocked_id");
--
-- Add field expire_seconds to periodictask
--
CREATE TABLE "new__django_celery_beat_periodictask" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "name" varchar(200) NOT NULL UNIQUE, "task" varchar(200) NOT NULL, "args" text NOT NULL, "kwargs" text NOT NULL, "queue" varchar(200) NULL, "exchange" varchar(200) NULL, "routing_key" varchar(200) NULL, "expires" datetime NULL, "enabled" bool NOT NULL, "last_run_at" datetime NULL, "total_run_count" integer unsigned NOT NULL CHECK ("total_run_count" >= 0), "date_changed" datetime NOT NULL, "description" text NOT NULL, "crontab_id" integer NULL REFERENCES "django_celery_beat_crontabschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "interval_id" integer NULL REFERENCES "django_celery_beat_intervalschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "solar_id" integer NULL REFERENCES "django_celery_beat_solarschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "one_off" bool NOT NULL, "start_time" datetime NULL, "priority" integer unsigned NULL CHECK ("priority" >= 0), "headers" text NOT NULL, "clocked_id" integer NULL REFERENCES "django_celery_beat_clockedschedule" ("id") DEFERRABLE INITIALLY DEFERRED, "expire_seconds" integer unsigned NULL CHECK ("expire_seconds" >= 0));
INSERT INTO "new__django_celery_beat_periodictask" ("id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", "start_time", "priority", "headers", "clocked_id", "expire_seconds") SELECT "id", "name", "task", "args", "kwargs", "queue", "exchange", "routing_key", "expires", "enabled", "last_run_at", "total_run_count", "date_changed", "description", "crontab_id", "interval_id", "solar_id", "one_off", "start_time", "priority", "headers", "clocked_id", NULL FROM "django_celery_beat_periodictask";
DROP TABLE "django_celery_beat_periodictask";
ALTER TABLE "new__django_celery_beat_periodictask" RENAME TO "django_celery_beat_periodictask";
CREATE INDEX "django_celery_beat_periodictask_crontab_id_d3cba168" ON "django_celery_beat_periodictask" ("crontab_id");
CREATE INDEX "django_celery_beat_periodictask_interval_id_a8ca27da" ON "django_celery_beat_periodictask" ("interval_id");
CREATE INDEX "django_celery_beat_periodictask_solar_id_a87ce72c" ON "django_celery_beat_periodictask" ("solar_id");
CREATE INDEX "django_celery_beat_periodictask_clocked_id_47a69f82" ON "django_celery_beat_periodictask" ("clocked_id");
--
-- Alter field timezone on crontabschedule
--
CREATE TABLE "new__django_celery_beat_crontabschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "minute" varchar(240) NOT NULL, "hour" varchar(96) NOT NULL, "day_of_week" varchar(64) NOT NULL, "day_of_month" varchar(124) NOT NULL, "month_of_year" varchar(64) NOT NULL, "timezone" varchar(63) NOT NULL);
INSERT INTO "new__django_celery_beat_crontabschedule" ("id", "minute", "hour", "day_of_week", "day_of_month", "month_of_year", "timezone") SELECT "id", "minute", "hour", "day_of_week", "day_of_month", "month_of_year", "timezone" FROM "django_celery_beat_crontabschedule";
DROP TABLE "django_celery_beat_crontabschedule";
ALTER TABLE "new__django_celery_beat_crontabschedule" RENAME TO "django_celery_beat_crontabschedule";
--
-- Remove field enabled from clockedschedule
--
CREATE TABLE "new__django_celery_beat_clockedschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "clocked_time" datetime NOT NULL);
INSERT INTO "new__django_celery_beat_clockedschedule" ("id", "clocked_time") SELECT "id", "clocked_time" FROM "django_celery_beat_clockedschedule";
DROP TABLE "django_celery_beat_clockedschedule";
ALTER TABLE "new__django_celery_beat_clockedschedule" RENAME TO "django_celery_beat_clockedschedule";
--
-- Alter field event on solarschedule
--
CREATE TABLE "new__django_celery_beat_solarschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "latitude" decimal NOT NULL, "longitude" decimal NOT NULL, "event" varchar(24) NOT NULL);
INSERT INTO "new__django_celery_beat_solarschedule" ("id", "latitude", "longitude", "event") SELECT "id", "latitude", "longitude", "event" FROM "django_celery_beat_solarschedule";
DROP TABLE "django_celery_beat_solarschedule";
ALTER TABLE "new__django_celery_beat_solarschedule" RENAME TO "django_celery_beat_solarschedule";
CREATE UNIQUE INDEX "django_celery_beat_solarschedule_event_latitude_longitude_ba64999a_uniq" ON "django_celery_beat_solarschedule" ("event", "latitude", "longitude");
--
-- Alter field timezone on crontabschedule
--
CREATE TABLE "new__django_celery_beat_crontabschedule" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "minute" varchar(240) NOT NULL, "hour" varchar(96) NOT NULL, "day_of_week" varchar(64) NOT NULL, "day_of_month" varchar(124) NOT NULL, "month_of_year" varchar(64) NOT NULL, "timezone" varchar(63) NOT NULL);
INSERT INTO "new__django_celery_beat_crontabschedule" ("id", "minute", "hour", "day_of_week", "day_of_month", "month_of_year", "timezone") SELECT "id", "minute", "hour", "day_of_week", "day_of_month", "month_of_year", "timezone" FROM "django_celery_beat_crontabschedule";
DROP TABLE "django_celery_beat_crontabschedule";
ALTER TABLE "new__django_celery_beat_crontabschedule" RENAME TO "django_celery_beat_crontabschedule";
