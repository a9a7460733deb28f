#!/usr/bin/env bash
# Sets up the data source "zlk" of the partner register for the user, where it is
# missing:
#   - the SQLite3 ODBC driver (Debian libsqliteodbc) in odbcinst.ini;
#   - a user DSN "zlk" over the SQLite database $XDG_DATA_HOME/zelk/zlk.db
#     (~/.local/share/zelk/zlk.db when XDG_DATA_HOME is not set);
#   - the tables ANALIT and PARTNER, from platform/storage/odbc/zlk-schema.sql.
# An existing DSN "zlk" is left as it is, wherever it points (PostgreSQL, for several
# stations): only tables missing in it are created. ODBCSYSINI and ODBCINI choose
# another ODBC configuration, as for every unixODBC program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
schema=$top/platform/storage/odbc/zlk-schema.sql
dsn=zlk

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# unixODBC reads the user's odbc.ini in the home folder of the passwd entry.
home=$(getent passwd "$(id -u)" | cut -d: -f6)
home=${home:-$HOME}

driver=SQLite3
if ! odbcinst -q -d -n "$driver" >/dev/null 2>&1; then
  lib=
  for f in /usr/lib/*/odbc/libsqlite3odbc.so /usr/lib/odbc/libsqlite3odbc.so /usr/local/lib/libsqlite3odbc.so; do
    if [ -e "$f" ]; then lib=$f; break; fi
  done
  if [ -z "$lib" ]; then
    echo "odbc-setup: the SQLite3 ODBC driver is not installed (Debian package libsqliteodbc)" >&2
    exit 1
  fi
  printf '[%s]\nDescription=SQLite3 ODBC Driver\nDriver=%s\nSetup=%s\n' "$driver" "$lib" "$lib" >"$tmp/driver.tmpl"
  # Without the right to register it, the DSN names the library itself.
  odbcinst -i -d -f "$tmp/driver.tmpl" >/dev/null 2>&1 || driver=$lib
fi

if ! odbcinst -q -s -n "$dsn" >/dev/null 2>&1; then
  data=${XDG_DATA_HOME:-$HOME/.local/share}/zelk
  mkdir -p "$data"
  ini=${ODBCINI:-$home/.odbc.ini}
  [ -e "$ini" ] || : >"$ini"  # odbcinst adds to an existing file only
  printf '[%s]\nDescription=ZELK partner register\nDriver=%s\nDatabase=%s\nTimeout=10000\n' \
    "$dsn" "$driver" "$data/zlk.db" >"$tmp/dsn.tmpl"
  odbcinst -i -s -l -f "$tmp/dsn.tmpl" >/dev/null
  echo "odbc-setup: data source \"$dsn\" registered over $data/zlk.db"
fi

# isql takes statements over several lines (-n) but stops at a blank line and keeps
# comments; it exits 0 even when a statement fails: its messages tell.
grep -v -e '^[[:space:]]*--' -e '^[[:space:]]*$' "$schema" >"$tmp/schema.sql"
if ! isql -b -n -v "$dsn" <"$tmp/schema.sql" >"$tmp/isql.out" 2>&1 || grep -q 'ERROR' "$tmp/isql.out"; then
  echo "odbc-setup: the tables of data source \"$dsn\" could not be checked or created:" >&2
  grep -v '^SQLRowCount' "$tmp/isql.out" >&2 || true
  exit 1
fi
