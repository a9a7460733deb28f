#!/usr/bin/env bash
# Runs a command beside a private PostgreSQL server:
#   scripts/pg-test-server.sh <command> [arguments...]
# The server lives in a temporary folder, listens on 127.0.0.1 only, holds the
# database "zlk" (encoding WIN1251, collation C, the two tables of the schema script)
# and an empty database "zlk_utf8" (encoding UTF8, collation C), and is stopped and
# removed when the command ends. The command finds it through
#   ZELK_TEST_PG_DSN       an ODBC connection string for psqlODBC ({PostgreSQL ANSI})
#   ZELK_TEST_PG_UTF8_DSN  the same for the database in UTF8
#   ZELK_TEST_PG_PORT      its port
# Run as root, the server runs as the user "postgres" (created when missing).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
pgbin=${ZELK_PG_BIN:-/usr/lib/postgresql/15/bin}
schema=$top/platform/storage/odbc/zlk-schema.sql

if (($# == 0)); then
  echo "usage: $0 <command> [arguments...]" >&2
  exit 2
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/zelk-pg-XXXXXX")
as=()
if [ "$(id -u)" -eq 0 ]; then
  user=postgres
  id -u "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
  chown "$user" "$dir"
  as=(runuser -u "$user" --)
fi
pg() { (cd "$dir" && "${as[@]}" "$@"); }

started=0
stop() {
  if ((started)); then pg "$pgbin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true; fi
  rm -rf "$dir"
}
trap stop EXIT
trap 'exit 130' INT TERM

# A free port on the loopback interface.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

pg "$pgbin/initdb" -D "$dir/data" -U zelk -A trust -E WIN1251 --locale=C >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log" >&2; exit 1; }
pg "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
  -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off" start >/dev/null ||
  { cat "$dir/server.log" >&2; exit 1; }
started=1
pg "$pgbin/createdb" -h 127.0.0.1 -p "$port" -U zelk -E WIN1251 -l C -T template0 zlk
pg "$pgbin/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U zelk -d zlk -f - <"$schema" >/dev/null
pg "$pgbin/createdb" -h 127.0.0.1 -p "$port" -U zelk -E UTF8 -l C -T template0 zlk_utf8

export ZELK_TEST_PG_PORT=$port
export ZELK_TEST_PG_DSN="Driver={PostgreSQL ANSI};Server=127.0.0.1;Port=$port;Database=zlk;Uid=zelk;"
export ZELK_TEST_PG_UTF8_DSN="Driver={PostgreSQL ANSI};Server=127.0.0.1;Port=$port;Database=zlk_utf8;Uid=zelk;"
rc=0
"$@" || rc=$?
exit "$rc"
