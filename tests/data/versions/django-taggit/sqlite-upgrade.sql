-- django-taggit on sqlite, made by generate.py: the migrations taggit.0002_auto_20150616_2121, taggit.0003_taggeditem_add_unique_index, taggit.0004_alter_taggeditem_content_type_alter_taggeditem_tag, taggit.0005_auto_20220424_2025
--
-- Alter index_together for taggeditem (1 constraint(s))
--
CREATE INDEX "taggit_taggeditem_content_type_id_object_id_196cc965_idx" ON "taggit_taggeditem" ("content_type_id", "object_id");
--
-- Alter unique_together for taggeditem (1 constraint(s))
--
CREATE UNIQUE INDEX "taggit_taggeditem_content_type_id_object_id_tag_id_4bb97a8e_uniq" ON "taggit_taggeditem" ("content_type_id", "object_id", "tag_id");
--
-- Alter field content_type on taggeditem
--
--
-- Alter field tag on taggeditem
--
--
-- Alter field slug on tag
--
CREATE TABLE "new__taggit_tag" ("id" integer NOT NULL PRIMARY KEY AUTOINCREMENT, "name" varchar(100) NOT NULL UNIQUE, "slug" varchar(100) NOT NULL UNIQUE);
INSERT INTO "new__taggit_tag" ("id", "name", "slug") SELECT "id", "name", "slug" FROM "taggit_tag";
DROP TABLE "taggit_tag";
ALTER TABLE "new__taggit_tag" RENAME TO "taggit_tag";
