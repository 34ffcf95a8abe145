#!/usr/bin/env bash
# CTest fixture: starts or stops one test FTP server.
#   ftp_fixture.sh start <state dir> <host number> [ftp_server.py options...]
#   ftp_fixture.sh stop <state dir>
# The server listens on ${PM_TEST_NET:-127.0.0}.<host number>:21 and serves <state dir>/root;
# logins go to <state dir>/logins.txt, each LIST and RETR to <state dir>/activity.txt.
set -euo pipefail
action=$1
state=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

stop_server() {
  if [ -f "$state/server.pid" ]; then
    local pid; pid=$(cat "$state/server.pid")
    # Only our server: a number left from a server that died may belong to another process by now.
    ours() { grep -qa ftp_server.py "/proc/$pid/cmdline" 2>/dev/null; }
    if ours; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do ours || break; sleep 0.1; done
      ! ours || kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$state/server.pid"
  fi
}

case $action in
start)
  host=$3; shift 3
  address=${PM_TEST_NET:-127.0.0}.$host
  stop_server
  mkdir -p "$state/root"
  : >"$state/logins.txt"
  : >"$state/activity.txt"
  setsid /usr/bin/python3 "$here/ftp_server.py" --address "$address" --root "$state/root" \
    --log "$state/logins.txt" --activity "$state/activity.txt" "$@" </dev/null >"$state/server.log" 2>&1 &
  echo $! >"$state/server.pid"
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/$address/21") 2>/dev/null; then exit 0; fi
    kill -0 "$(cat "$state/server.pid")" 2>/dev/null || break
    sleep 0.1
  done
  echo "FTP server on $address:21 did not start:" >&2
  cat "$state/server.log" >&2
  stop_server
  exit 1
  ;;
stop)
  stop_server
  ;;
*)
  echo "usage: $0 start|stop <state dir> ..." >&2
  exit 2
  ;;
esac
