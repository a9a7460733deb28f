#!/usr/bin/env bash
# Sets up the data source "zlk" of the partner register for the user, where it is
# missing:
#   - the SQLite3 ODBC driver (Debian libsqliteodbc) in odbcinst.ini;
#   - a user DSN "zlk" in the user's own ODBC configuration ($ODBCINI, else
#     ~/.odbc.ini in the home folder of the user's passwd entry, where unixODBC looks)
#     over the SQLite database $XDG_DATA_HOME/zelk/zlk.db (~/.local/share/zelk/zlk.db
#     when XDG_DATA_HOME is not set);
#   - the tables ANALIT and PARTNER, from platform/storage/odbc/zlk-schema.sql.
#
#   scripts/odbc-setup.sh [--examples]
#
# With --examples, a register whose tables this run creates gets the example partners
# of examples/partners.sql; a register that had its tables keeps what it holds.
# An existing DSN "zlk" is left as it is, wherever it points (PostgreSQL, for several
# stations): only tables missing in it are created. ODBCSYSINI and ODBCINI choose
# another ODBC configuration, as for every unixODBC program.
# A failure is one line "odbc-setup: ..." (with the tools' own words after it) and
# exit status 1.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
schema=$top/platform/storage/odbc/zlk-schema.sql
partners=$top/examples/partners.sql
dsn=zlk

examples=false
case "${1:-}" in
  --examples) examples=true ;;
  "") ;;
  *) echo "usage: scripts/odbc-setup.sh [--examples]" >&2; exit 2 ;;
esac

fail() {
  echo "odbc-setup: $1" >&2
  [ -z "${2:-}" ] || grep -v -e '^SQLRowCount' -e '^[[:space:]]*$' "$2" >&2 || true
  exit 1
}

for tool in odbcinst isql; do
  command -v "$tool" >/dev/null || fail "unixODBC's $tool is not installed (Debian package unixodbc)"
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# unixODBC reads the user's odbc.ini in the home folder of the passwd entry.
home=$(getent passwd "$(id -u)" | cut -d: -f6 || true)
home=${home:-$HOME}

driver=SQLite3
if ! odbcinst -q -d -n "$driver" >/dev/null 2>&1; then
  lib=
  for f in /usr/lib/*/odbc/libsqlite3odbc.so /usr/lib/odbc/libsqlite3odbc.so /usr/local/lib/libsqlite3odbc.so; do
    if [ -e "$f" ]; then lib=$f; break; fi
  done
  [ -n "$lib" ] || fail "the SQLite3 ODBC driver is not installed (Debian package libsqliteodbc)"
  printf '[%s]\nDescription=SQLite3 ODBC Driver\nDriver=%s\nSetup=%s\n' "$driver" "$lib" "$lib" >"$tmp/driver.tmpl"
  # Without the right to register it, the DSN names the library itself.
  odbcinst -i -d -f "$tmp/driver.tmpl" >/dev/null 2>&1 || driver=$lib
fi

if ! odbcinst -q -s -n "$dsn" >/dev/null 2>&1; then
  data=${XDG_DATA_HOME:-$HOME/.local/share}/zelk
  mkdir -p "$data" 2>"$tmp/mkdir.out" || fail "the folder $data of the register cannot be made:" "$tmp/mkdir.out"
  ini=${ODBCINI:-$home/.odbc.ini}
  # odbcinst adds to an existing file only.
  [ -e "$ini" ] || : 2>"$tmp/ini.out" >"$ini" || fail "the ODBC configuration $ini cannot be made:" "$tmp/ini.out"
  printf '[%s]\nDescription=ZELK partner register\nDriver=%s\nDatabase=%s\nTimeout=10000\n' \
    "$dsn" "$driver" "$data/zlk.db" >"$tmp/dsn.tmpl"
  odbcinst -i -s -h -f "$tmp/dsn.tmpl" >"$tmp/odbcinst.out" 2>&1 ||
    fail "the data source \"$dsn\" cannot be registered in $ini:" "$tmp/odbcinst.out"
  echo "odbc-setup: data source \"$dsn\" registered in $ini over $data/zlk.db"
fi

# Runs the statements of a file in the data source, its output in $tmp/isql.out.
# isql takes statements over several lines (-n) but stops at a blank line and keeps
# comments; it exits 0 even when a statement fails: its messages tell.
runSql() {
  grep -v -e '^[[:space:]]*--' -e '^[[:space:]]*$' "$1" >"$tmp/statements.sql" || true
  isql -b -n -v "$dsn" <"$tmp/statements.sql" >"$tmp/isql.out" 2>&1 && ! grep -q 'ERROR' "$tmp/isql.out"
}

echo 'SELECT COUNT(*) FROM "PARTNER";' >"$tmp/probe.sql"
new=true
if runSql "$tmp/probe.sql"; then new=false; fi
runSql "$schema" || fail "the tables of data source \"$dsn\" could not be checked or created:" "$tmp/isql.out"

if $examples && $new; then
  runSql "$partners" || fail "the example partners could not be loaded into data source \"$dsn\":" "$tmp/isql.out"
  echo "odbc-setup: the example partners loaded into data source \"$dsn\""
fi
