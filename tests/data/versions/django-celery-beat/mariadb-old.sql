-- django-celery-beat on mariadb, made by generate.py: the migrations django_celery_beat.0001_initial
--
-- Create model CrontabSchedule
--
CREATE TABLE `django_celery_beat_crontabschedule` (`id` integer AUTO_INCREMENT NOT NULL PRIMARY KEY, `minute` varchar(64) NOT NULL, `hour` varchar(64) NOT NULL, `day_of_week` varchar(64) NOT NULL, `day_of_month` varchar(64) NOT NULL, `month_of_year` varchar(64) NOT NULL);
--
-- Create model IntervalSchedule
--
CREATE TABLE `django_celery_beat_intervalschedule` (`id` integer AUTO_INCREMENT NOT NULL PRIMARY KEY, `every` integer NOT NULL, `period` varchar(24) NOT NULL);
--
-- Create model PeriodicTask
--
CREATE TABLE `django_celery_beat_periodictask` (`id` integer AUTO_INCREMENT NOT NULL PRIMARY KEY, `name` varchar(200) NOT NULL UNIQUE, `task` varchar(200) NOT NULL, `args` longtext NOT NULL, `kwargs` longtext NOT NULL, `queue` varchar(200) NULL, `exchange` varchar(200) NULL, `routing_key` varchar(200) NULL, `expires` datetime(6) NULL, `enabled` bool NOT NULL, `last_run_at` datetime(6) NULL, `total_run_count` integer UNSIGNED NOT NULL CHECK (`total_run_count` >= 0), `date_changed` datetime(6) NOT NULL, `description` longtext NOT NULL, `crontab_id` integer NULL, `interval_id` integer NULL);
--
-- Create model PeriodicTasks
--
CREATE TABLE `django_celery_beat_periodictasks` (`ident` smallint NOT NULL PRIMARY KEY, `last_update` datetime(6) NOT NULL);
ALTER TABLE `django_celery_beat_periodictask` ADD CONSTRAINT `django_celery_beat_p_crontab_id_d3cba168_fk_django_ce` FOREIGN KEY (`crontab_id`) REFERENCES `django_celery_beat_crontabschedule` (`id`);
ALTER TABLE `django_celery_beat_periodictask` ADD CONSTRAINT `django_celery_beat_p_interval_id_a8ca27da_fk_django_ce` FOREIGN KEY (`interval_id`) REFERENCES `django_celery_beat_intervalschedule` (`id`);
