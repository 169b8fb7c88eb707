-- The template of the tests' PostgreSQL databases: the picture domains that
-- the SQLite tests write as declared types (GRAPHIC, IMAGE, PICTURE).
CREATE DATABASE tavkit_template;
\c tavkit_template
CREATE DOMAIN graphic AS bytea;
CREATE DOMAIN image AS bytea;
CREATE DOMAIN picture AS bytea;
