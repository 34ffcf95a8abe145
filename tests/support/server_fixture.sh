#!/usr/bin/env bash
# CTest fixture: starts or stops one test server (ftp_server.py, https_server.py, connect_proxy.py).
#   server_fixture.sh start <state dir> <host number> <port> <program> [program options...]
#   server_fixture.sh stop <state dir>
# Start runs "<program> --address ${PM_TEST_NET:-127.0.0}.<host number> --port <port> --activity
# <state dir>/activity.txt [options]" (a program beside this script) after making <state dir>/root and
# emptying the records (*.txt) of an earlier run in <state dir>, and returns once the port takes
# connections.
set -euo pipefail
action=$1
state=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

stop_server() {
  if [ -f "$state/server.pid" ]; then
    local pid; pid=$(cat "$state/server.pid")
    # Only our server: a number left from a server that died may belong to another process by now.
    ours() { grep -qaF -- "$state/activity.txt" "/proc/$pid/cmdline" 2>/dev/null; }
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
  host=$3 port=$4 program=$5; shift 5
  address=${PM_TEST_NET:-127.0.0}.$host
  stop_server
  mkdir -p "$state/root"
  shopt -s nullglob
  for record in "$state"/*.txt "$state/activity.txt"; do : >"$record"; done
  # Its activity file in the command line tells our server from any other process (see stop_server).
  setsid /usr/bin/python3 "$here/$program" --address "$address" --port "$port" \
    --activity "$state/activity.txt" "$@" </dev/null >"$state/server.log" 2>&1 &
  echo $! >"$state/server.pid"
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/$address/$port") 2>/dev/null; then exit 0; fi
    kill -0 "$(cat "$state/server.pid")" 2>/dev/null || break
    sleep 0.1
  done
  echo "$program on $address:$port did not start:" >&2
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
