#!/usr/bin/env bash
# team-demo.sh: a team's vault end to end on one machine. Starts a throwaway
# PostgreSQL (the databases) and a throwaway Apache with WebDAV (the files),
# both on loopback in a temporary folder, makes the team's store, and runs
# two workstations (two users, two store files, two working folders) through
# add, check-out, a check-out refused to the other, check-in, history and a
# baseline. Both servers are stopped and the folder removed however it ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

echo "== building"
bash scripts/build.sh main
bin=$root/build-main/tools/vault/vault

pgbin=${ZUB_PG_BINDIR:-/usr/lib/postgresql/15/bin}
for need in "$pgbin/initdb" "$pgbin/pg_ctl" /usr/sbin/apache2 /usr/bin/htpasswd; do
  [ -x "$need" ] || { echo "team-demo.sh: $need is missing (bash scripts/deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vault-team.XXXXXX")
pgdata=$work/pg/data
dav=$work/dav
dav_pid=
pg_started=

# Root runs the servers as unprivileged users, never as itself.
pg_as=() dav_as=()
if [ "$(id -u)" -eq 0 ]; then
  pg_user=postgres
  getent passwd postgres >/dev/null || pg_user=nobody
  pg_as=(setpriv --reuid="$pg_user" --regid="$pg_user" --clear-groups)
  dav_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi

cleanup() {
  local status=$?
  set +e
  if [ -n "$dav_pid" ]; then
    kill "$dav_pid" 2>/dev/null
    wait "$dav_pid" 2>/dev/null
  fi
  if [ -n "$pg_started" ]; then
    (cd / && "${pg_as[@]}" "$pgbin/pg_ctl" -D "$pgdata" stop -m fast -w >/dev/null 2>&1)
  fi
  rm -rf "$work"
  if [ "$status" -eq 0 ]; then
    echo "== both servers stopped, $work removed"
  else
    echo "team-demo.sh: failed (status $status); both servers stopped, $work removed" >&2
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# A loopback port nothing answers on.
free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return
    fi
  done
  echo "team-demo.sh: no free loopback port" >&2
  return 1
}
secret() { head -c 18 /dev/urandom | base64 | tr -d '/+='; }

chmod 711 "$work"
mkdir -p "$work/pg" "$dav/htdocs/vault" "$dav/run" "$work/ws1" "$work/ws2"

echo "== PostgreSQL on 127.0.0.1 (the databases)"
pg_port=$(free_port)
export PGPASSWORD
PGPASSWORD=$(secret)
printf '%s\n' "$PGPASSWORD" >"$work/pg/pw"
[ ${#pg_as[@]} -eq 0 ] || chown -R "$pg_user:" "$work/pg"
(cd / && "${pg_as[@]}" "$pgbin/initdb" -D "$pgdata" -U vault --pwfile="$work/pg/pw" -E UTF8 \
  --locale=C --auth-local=trust --auth-host=scram-sha-256 >"$work/pg/initdb.log" 2>&1) ||
  { cat "$work/pg/initdb.log" >&2; exit 1; }
rm -f "$work/pg/pw"
cat >>"$pgdata/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $pg_port
unix_socket_directories = '$work/pg'
EOF
pg_started=yes
(cd / && "${pg_as[@]}" "$pgbin/pg_ctl" -D "$pgdata" -l "$work/pg/server.log" -w -t 60 start \
  >/dev/null) || { cat "$work/pg/server.log" >&2; exit 1; }
echo "   listening on 127.0.0.1:$pg_port, login vault (password in PGPASSWORD)"

echo "== Apache with WebDAV on 127.0.0.1 (the files)"
dav_port=$(free_port)
export VAULT_FILES_PASSWORD
VAULT_FILES_PASSWORD=$(secret)
# The same user and password the store keeps; htpasswd -i reads it from
# standard input, so it stays out of the process list.
printf '%s\n' "$VAULT_FILES_PASSWORD" | htpasswd -ci "$dav/htpasswd" system 2>/dev/null
chmod 644 "$dav/htpasswd"
modules=/usr/lib/apache2/modules
{
  echo "ServerRoot \"$dav\""
  echo "ServerName 127.0.0.1"
  echo "Listen 127.0.0.1:$dav_port"
  echo "PidFile \"$dav/run/httpd.pid\""
  echo "DefaultRuntimeDir \"$dav/run\""
  echo "Mutex file:$dav/run default"
  echo "ErrorLog \"$dav/error.log\""
  echo "LogLevel warn"
  for m in mpm_event authz_core authn_core auth_basic authn_file authz_user dav dav_fs; do
    echo "LoadModule ${m}_module $modules/mod_$m.so"
  done
  echo "StartServers 1"
  echo "LimitRequestBody 0"
  echo "DavLockDB \"$dav/run/davlock\""
  echo "DocumentRoot \"$dav/htdocs\""
  echo "<Directory \"$dav/htdocs\">"
  echo "  Dav On"
  echo "  Options None"
  echo "  AllowOverride None"
  echo "  AuthType Basic"
  echo "  AuthName vault"
  echo "  AuthBasicProvider file"
  echo "  AuthUserFile \"$dav/htpasswd\""
  echo "  Require valid-user"
  echo "</Directory>"
} >"$dav/httpd.conf"
touch "$dav/error.log"
[ ${#dav_as[@]} -eq 0 ] || chown -R nobody:nogroup "$dav/htdocs" "$dav/run" "$dav/error.log"
chmod 755 "$dav"
setsid "${dav_as[@]}" /usr/sbin/apache2 -f "$dav/httpd.conf" -DFOREGROUND \
  >>"$dav/error.log" 2>&1 </dev/null &
dav_pid=$!
for _ in $(seq 1 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$dav_port") 2>/dev/null && break
  kill -0 "$dav_pid" 2>/dev/null || { cat "$dav/error.log" >&2; exit 1; }
  sleep 0.1
done
(exec 3<>"/dev/tcp/127.0.0.1/$dav_port") 2>/dev/null ||
  { echo "team-demo.sh: apache2 did not listen" >&2; cat "$dav/error.log" >&2; exit 1; }
echo "   serving http://127.0.0.1:$dav_port/vault as user system (password in VAULT_FILES_PASSWORD)"

# shown ARGS...: the arguments as they would be typed.
. "$root/scripts/shown.sh"
# on WS USER vault ARGS...: one command of one workstation, in its folder.
on() {
  local ws=$1 user=$2
  shift 3
  echo "[$ws $user]\$ vault $(shown "$@")"
  (cd "$work/$ws" && VAULT_STORE="$work/$ws/team.store" VAULT_USER=$user "$bin" "$@")
  echo
}

unset VAULT_STORE VAULT_USER
server=127.0.0.1:$pg_port
files=http://127.0.0.1:$dav_port/vault
echo "== the team's store, made from workstation ws1"
on ws1 system vault init --server "$server" --user vault --files "$files" "$work/ws1/team.store"
on ws1 system vault user add alice
on ws1 system vault user add bob
on ws1 system vault repo create parts
on ws1 system vault rights grant parts alice rwm
on ws1 system vault rights grant parts bob rw
echo "== workstation ws2 joins with a store file of its own"
on ws2 system vault init --server "$server" --user vault --files "$files" "$work/ws2/team.store"

echo "== alice on ws1 adds a part and checks it out"
printf 'bracket, rev A\nhole: M5\n' >"$work/ws1/bracket.prt"
on ws1 alice vault doc add parts bracket.prt
on ws1 alice vault doc checkout 1 work

echo "== bob on ws2 is refused the check-out while alice holds it"
echo "[ws2 bob]\$ vault doc checkout 1 work"
if (cd "$work/ws2" && VAULT_STORE="$work/ws2/team.store" VAULT_USER=bob "$bin" doc checkout 1 work); then
  echo "team-demo.sh: bob's check-out should have been refused" >&2
  exit 1
fi
echo

echo "== alice checks in; bob sees the history and takes the part"
echo 'hole: M6 (was M5)' >>"$work/ws1/work/bracket.prt"
on ws1 alice vault doc checkin 1 work/bracket.prt -m "Bigger mounting hole"
on ws2 bob vault doc history 1
on ws2 bob vault doc checkout 1 work
echo 'fillet: R2' >>"$work/ws2/work/bracket.prt"
on ws2 bob vault doc checkin 1 work/bracket.prt -m "Round the edges"
on ws1 alice vault doc history 1

echo "== alice freezes a baseline; bob lists it"
on ws1 alice vault baseline create parts release-1 -m "First release"
on ws2 bob vault baseline list parts

stored=$(find "$dav/htdocs/vault" -type f -name bracket.prt | wc -l)
echo "== the WebDAV server holds $stored copies of bracket.prt (current, history, baseline)"
echo "team-demo: all steps succeeded"
