-- django-1.7 on mariadb, made by generate.py: the migrations contenttypes.0002_remove_content_type_name, auth.0002_alter_permission_name_max_length, auth.0003_alter_user_email_max_length, auth.0004_alter_user_username_opts, auth.0005_alter_user_last_login_null, auth.0006_require_contenttypes_0002, auth.0007_alter_validators_add_error_messages, auth.0008_alter_user_username_max_length, auth.0009_alter_user_last_name_max_length, auth.0010_alter_group_name_max_length, auth.0011_update_proxy_permissions, auth.0012_alter_user_first_name_max_length, admin.0002_logentry_remove_auto_add, admin.0003_logentry_add_action_flag_choices, sites.0002_alter_domain_unique
--
-- Change Meta options on contenttype
--
--
-- Alter field name on contenttype
--
ALTER TABLE `django_content_type` MODIFY `name` varchar(100) NULL;
--
-- MIGRATION NOW PERFORMS OPERATION THAT CANNOT BE WRITTEN AS SQL:
-- Raw Python operation
--
--
-- Remove field name from contenttype
--
ALTER TABLE `django_content_type` DROP COLUMN `name`;
--
-- Alter field name on permission
--
ALTER TABLE `auth_permission` MODIFY `name` varchar(255) NOT NULL;
--
-- Alter field email on user
--
ALTER TABLE `auth_user` MODIFY `email` varchar(254) NOT NULL;
--
-- Alter field username on user
--
--
-- Alter field last_login on user
--
ALTER TABLE `auth_user` MODIFY `last_login` datetime(6) NULL;
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
