#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts a PostgreSQL server of the test's own (Debian's, a fresh cluster on a free port of
# 127.0.0.1, TLS on, run as nobody when the tests run as root), makes a yard in it, and runs
# the Windows program's yard tests under Wine against it. Stops only the server it started.
# Usage: yard-wine.sh SOURCE_DIR TEST_EXE
set -eu
src=$1
exe=$2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
dir=$(mktemp -d /tmp/logora-wine-pg.XXXXXX)
server=""
cleanup() {
    if [ -n "$server" ]; then
        kill -INT "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$dir"
}
trap cleanup EXIT INT TERM
# setpriv execs what it runs, so that $! is the server's own process id.
as_server=""
if [ "$(id -u)" = 0 ]; then
    as_server="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
echo admin-secret >"$dir/pw"
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -days 1 \
    -keyout "$dir/server.key" -out "$dir/server.crt" >/dev/null 2>&1
chmod 600 "$dir/server.key"
[ "$(id -u)" = 0 ] && chown -R 65534:65534 "$dir"
$as_server "$bin/initdb" -D "$dir/data" -U admin --auth=scram-sha-256 --pwfile="$dir/pw" \
    -E UTF8 --locale=C.UTF-8 --no-sync >/dev/null
$as_server "$bin/postgres" -D "$dir/data" -p "$port" -k "$dir" -c listen_addresses=127.0.0.1 \
    -c fsync=off -c ssl=on -c ssl_cert_file="$dir/server.crt" -c ssl_key_file="$dir/server.key" \
    >"$dir/server.log" 2>&1 &
server=$!
export PGPASSWORD=admin-secret
ready=""
for _ in $(seq 300); do
    if "$bin/pg_isready" -q -h 127.0.0.1 -p "$port"; then
        ready=yes
        break
    fi
    sleep 0.1
done
if [ -z "$ready" ]; then
    echo "the test's PostgreSQL did not answer within 30 s:" >&2
    cat "$dir/server.log" >&2
    exit 1
fi
psql() { command psql -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U admin "$@" >/dev/null; }
psql -d postgres -c "CREATE ROLE logora_desks NOLOGIN" \
    -c "CREATE ROLE desk_a LOGIN PASSWORD 'pw' IN ROLE logora_desks" -c "CREATE DATABASE yard"
psql -d yard -f "$src/sql/logora-yard.sql"
unset PGPASSWORD
# Wine's server outlives the program: it gets a file, not the test's pipe, to hold open.
status=0
LOGORA_TEST_YARD=$port WINEDEBUG=-all wine "$exe" >"$dir/out" 2>&1 </dev/null || status=$?
cat "$dir/out"
exit $status
