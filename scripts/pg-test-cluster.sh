#!/usr/bin/env bash
# Starts or stops a throw-away PostgreSQL cluster for the server tests.
#   pg-test-cluster.sh start|stop DIR PORT
# The cluster listens only on a Unix socket in DIR, trusts local users, and
# has a role `veldrane` owning the database `veldrane_test`. One more role,
# `veldrane_password` (password "veldrane-secret"), is not trusted: it must
# give its password, so that a wrong one can be tried. When run as
# root, the server runs as the unprivileged `postgres` user (PostgreSQL
# refuses to run as root). Any failure to start is loud: exit status 1.
set -euo pipefail
action=${1:?start|stop}
dir=${2:?directory}
port=${3:?port}

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bindir" ] || [ ! -x "$bindir/pg_ctl" ]; then
  echo "pg-test-cluster: no PostgreSQL server binaries found (install the postgresql package)" >&2
  exit 1
fi

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

case "$action" in
  start)
    if [ -f "$dir/data/postmaster.pid" ]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir"; fi
    as_owner "$bindir/initdb" -D "$dir/data" -U veldrane -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
      || as_owner "$bindir/initdb" -D "$dir/data" -U veldrane -A trust -E UTF8 --no-locale >"$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; echo "pg-test-cluster: initdb failed" >&2; exit 1; }
    # Before the server starts, so that the rule holds from its first connection.
    as_owner sed -i '1i local all veldrane_password scram-sha-256' "$dir/data/pg_hba.conf"
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-k $dir -p $port -c listen_addresses='' -c fsync=off -c synchronous_commit=off -c full_page_writes=off" start >/dev/null \
      || { cat "$dir/server.log" >&2; echo "pg-test-cluster: server did not start" >&2; exit 1; }
    as_owner "$bindir/psql" -h "$dir" -p "$port" -U veldrane -d postgres -qAt -c "CREATE DATABASE veldrane_test" >/dev/null \
      || { echo "pg-test-cluster: could not create the test database" >&2; exit 1; }
    as_owner "$bindir/psql" -h "$dir" -p "$port" -U veldrane -d postgres -qAt \
      -c "SET password_encryption = 'scram-sha-256'" \
      -c "CREATE ROLE veldrane_password LOGIN PASSWORD 'veldrane-secret'" >/dev/null \
      || { echo "pg-test-cluster: could not create the password role" >&2; exit 1; }
    echo "pg-test-cluster: running on host=$dir port=$port"
    ;;
  stop)
    if [ -d "$dir/data" ]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 start|stop DIR PORT" >&2
    exit 2
    ;;
esac
