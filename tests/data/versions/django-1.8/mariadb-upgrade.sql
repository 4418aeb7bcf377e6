-- django-1.8 on mariadb, made by generate.py: the migrations auth.0007_alter_validators_add_error_messages, auth.0008_alter_user_username_max_length, auth.0009_alter_user_last_name_max_length, auth.0010_alter_group_name_max_length, auth.0011_update_proxy_permissions, auth.0012_alter_user_first_name_max_length, admin.0002_logentry_remove_auto_add, admin.0003_logentry_add_action_flag_choices, sites.0002_alter_domain_unique
--
-- Alter field username on user
--
--
-- Alter field username on user
--
ALTER TABLE `auth_user` MODIFY `username` varchar(150) NOT NULL;
--
-- Alter field last_name on user
--
ALTER TABLE `auth_user` MODIFY `last_name` varchar(150) NOT NULL;
--
-- Alter field name on group
--
ALTER TABLE `auth_group` MODIFY `name` varchar(150) NOT NULL;
--
-- MIGRATION NOW PERFORMS OPERATION THAT CANNOT BE WRITTEN AS SQL:
-- Raw Python operation
--
--
-- Alter field first_name on user
--
ALTER TABLE `auth_user` MODIFY `first_name` varchar(150) NOT NULL;
--
-- Alter field action_time on logentry
--
--
-- Alter field action_flag on logentry
--
--
-- Alter field domain on site
--
ALTER TABLE `django_site` ADD CONSTRAINT `django_site_domain_a2e37b91_uniq` UNIQUE (`domain`);
