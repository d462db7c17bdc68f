#!/usr/bin/env bash
# Starts or stops a throw-away MariaDB server for the ODBC tests.
#   mariadb-test-server.sh start|stop|halt|resume DIR
# The server keeps its data in DIR/data and listens only on the Unix socket
# DIR/mysqld.sock (no TCP port, so that two checkouts never meet). It has a
# database `veldrane_test` and a user `veldrane` (password "veldrane-secret")
# who owns it, so that a wrong password can be tried. When run as root, the
# server runs as the unprivileged `mysql` user. Any failure to start is loud:
# exit status 1 with the server's log on standard error. `halt` shuts the
# server down and keeps its data; `resume` starts it again on that data, for
# tests that stop the server mid-run and then read what it kept.
set -euo pipefail
action=${1:?start|stop}
dir=${2:?directory}

server=$(command -v mariadbd || ls /usr/sbin/mariadbd 2>/dev/null || true)
if [ -z "$server" ] || ! command -v mariadb-install-db >/dev/null; then
  echo "mariadb-test-server: no MariaDB server found (install the mariadb-server package)" >&2
  exit 1
fi
client=$(command -v mariadb || command -v mysql)

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u mysql -- "$@"
  else
    "$@"
  fi
}

stop_server() {
  if [ -f "$dir/mysqld.pid" ]; then
    local pid
    pid=$(cat "$dir/mysqld.pid" 2>/dev/null || true)
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
      kill -9 "$pid" 2>/dev/null || true
    fi
  fi
}

run_server() {
    # Durability settings off: the data is thrown away after the tests.
    as_owner "$server" --no-defaults --datadir="$dir/data" --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" \
      --skip-networking --log-error="$dir/server.log" --innodb-flush-log-at-trx-commit=0 --innodb-doublewrite=0 \
      --innodb-buffer-pool-size=64M --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
      >/dev/null 2>&1 &
    for _ in $(seq 1 300); do
      [ -S "$dir/mysqld.sock" ] && "$client" --no-defaults -S "$dir/mysqld.sock" -uroot -e "SELECT 1" >/dev/null 2>&1 && break
      sleep 0.1
    done
    if ! "$client" --no-defaults -S "$dir/mysqld.sock" -uroot -e "SELECT 1" >/dev/null 2>&1; then
      cat "$dir/server.log" >&2 || true
      echo "mariadb-test-server: server did not start" >&2
      exit 1
    fi
}

case "$action" in
  resume)
    [ -d "$dir/data" ] || { echo "mariadb-test-server: no data in $dir to resume" >&2; exit 1; }
    rm -f "$dir/mysqld.sock" "$dir/mysqld.pid"
    run_server
    echo "mariadb-test-server: resumed on socket $dir/mysqld.sock"
    ;;
  start)
    stop_server
    rm -rf "$dir"
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown mysql: "$dir"; fi
    as_owner mariadb-install-db --no-defaults --datadir="$dir/data" --auth-root-authentication-method=normal \
      --skip-test-db >"$dir/install.log" 2>&1 \
      || { cat "$dir/install.log" >&2; echo "mariadb-test-server: mariadb-install-db failed" >&2; exit 1; }
    run_server
    "$client" --no-defaults -S "$dir/mysqld.sock" -uroot -e "
      CREATE DATABASE veldrane_test CHARACTER SET utf8mb4;
      CREATE DATABASE veldrane_other CHARACTER SET utf8mb4;
      CREATE USER 'veldrane'@'localhost' IDENTIFIED BY 'veldrane-secret';
      GRANT ALL ON veldrane_test.* TO 'veldrane'@'localhost';
      GRANT ALL ON veldrane_other.* TO 'veldrane'@'localhost';" \
      || { echo "mariadb-test-server: could not create the test database and user" >&2; exit 1; }
    echo "mariadb-test-server: running on socket $dir/mysqld.sock"
    ;;
  halt)
    stop_server
    ;;
  stop)
    stop_server
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 start|stop|halt|resume DIR" >&2
    exit 2
    ;;
esac
