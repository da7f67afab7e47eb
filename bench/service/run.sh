#!/usr/bin/env bash
# Load test of cloudwick-feed against nginx serving the same bytes.
#
# Starts cloudwick-feed (sample data) and nginx, each on its own free
# loopback port and as a process of this script, warms the service's
# cache, checks that both give the same document, then runs wrk against
# each with the same settings and prints requests per second, p99 latency
# and errors side by side; then the same through nginx with proxy_cache in
# front of the service (the deploy example's set-up), and the system calls
# each server makes per request (strace -c -f on a shorter run). Both
# servers log every request to a file (the service folds repeats from one
# address into a count, see service/README.md). Both are stopped on exit,
# by their pid.
#
# Usage: bench/service/run.sh [path/to/cloudwick-feed]
# Environment: DURATION (seconds, default 10), CONNECTIONS (default 64),
#              THREADS (wrk threads, default 2), STRACE (0: skip the count).
# Not part of ctest: the figures depend on the machine. On a small machine
# wrk shares the cores with the server under test; compare the two rows of
# one run, not runs on different machines.
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
feed="${1:-$root/build/native/service/cloudwick-feed}"
duration="${DURATION:-10}"
connections="${CONNECTIONS:-64}"
threads="${THREADS:-2}"
target="/forecastrss?w=4250542"

for tool in wrk nginx curl python3; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (bash tools/setup.sh installs it)" >&2; exit 1; }
done
[ -x "$feed" ] || { echo "bench: no cloudwick-feed at $feed; build first (tools/build.sh)" >&2; exit 1; }

work="$(mktemp -d /tmp/cloudwick-bench-XXXXXX)"
chmod 755 "$work"  # nginx workers may run as another user
feed_pid=""
nginx_pid=""
cleanup() {
  [ -n "$feed_pid" ] && kill "$feed_pid" 2>/dev/null && wait "$feed_pid" 2>/dev/null || true
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

wait_for() {  # url
  for _ in $(seq 1 200); do
    curl -fsS -o /dev/null "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "bench: nothing answers at $1" >&2
  return 1
}

feed_port="$(free_port)"
# nginx (the proxy run below) connects from 127.0.0.1: trusted as a proxy.
"$feed" --provider sample --listen "127.0.0.1:$feed_port" --trust-proxy 127.0.0.1 \
  2>"$work/feed.log" &
feed_pid=$!
wait_for "http://127.0.0.1:$feed_port/health"

# The bytes nginx serves are the service's own cached document.
mkdir -p "$work/www"
curl -fsS -o "$work/www/forecastrss" "http://127.0.0.1:$feed_port$target"
chmod 644 "$work/www/forecastrss"

nginx_port="$(free_port)"
proxy_port="$(free_port)"
mkdir -p "$work/nginx"
cat >"$work/nginx.conf" <<CONF
daemon off;
worker_processes auto;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 1024; }
http {
  access_log $work/nginx/access.log;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  proxy_cache_path $work/nginx/cache levels=1:2 keys_zone=feed:1m max_size=10m;
  upstream feed { server 127.0.0.1:$feed_port; keepalive 16; }
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
    location = /forecastrss { default_type "text/xml;charset=UTF-8"; }
  }
  server {
    listen 127.0.0.1:$proxy_port;
    location / {
      proxy_pass http://feed;
      proxy_http_version 1.1;
      proxy_set_header Connection "";
      proxy_set_header Host \$host;
      proxy_set_header X-Forwarded-For \$remote_addr;
      proxy_cache feed;
      proxy_cache_lock on;
      proxy_cache_use_stale error timeout updating;
    }
  }
}
CONF
# -e: its start-up log goes here too, not to the system's /var/log/nginx.
nginx -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx.conf" 2>>"$work/nginx/stderr.log" &
nginx_pid=$!
wait_for "http://127.0.0.1:$nginx_port$target"

if ! cmp -s <(curl -fsS "http://127.0.0.1:$feed_port$target") <(curl -fsS "http://127.0.0.1:$nginx_port$target"); then
  echo "bench: the two servers do not serve the same bytes" >&2
  exit 1
fi
bytes="$(stat -c %s "$work/www/forecastrss")"

run_wrk() {  # name url [seconds]
  local out rps p99
  out="$(wrk -t"$threads" -c"$connections" -d"${3:-$duration}s" --latency "$2")"
  echo "$out" >"$work/wrk-$1.txt"
  rps="$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")"
  echo "$rps" >"$work/rps-$1"
  p99="$(awk '$1 == "99%" {print $2}' <<<"$out")"
  errors="$(awk '/Non-2xx|Socket errors/ {print}' <<<"$out" | tr '\n' ' ')"
  printf '%-22s %14s %12s  %s\n' "$1" "$rps" "$p99" "$errors"
}

echo "cached weather document, $bytes bytes; wrk -t$threads -c$connections -d${duration}s on 127.0.0.1; both log every request"
printf '%-22s %14s %12s\n' "server" "requests/s" "p99 latency"
run_wrk "cloudwick-feed" "http://127.0.0.1:$feed_port$target"
run_wrk "nginx" "http://127.0.0.1:$nginx_port$target"
python3 -c "print('requests/s, cloudwick-feed / nginx: %.2f' % ($(cat "$work/rps-cloudwick-feed") / $(cat "$work/rps-nginx")))"
wait_for "http://127.0.0.1:$proxy_port$target"
run_wrk "nginx cache -> feed" "http://127.0.0.1:$proxy_port$target"

# System calls per request: each server under a shorter wrk run, counted by strace.
count_syscalls() {  # name "pid..." url
  local calls requests p args=()
  for p in $2; do args+=(-p "$p"); done
  strace -c -f "${args[@]}" -o "$work/strace-$1.txt" 2>/dev/null &
  local strace_pid=$!
  sleep 0.5
  requests="$(wrk -t"$threads" -c"$connections" -d3s "$3" | awk '/requests in/ {print $1}')"
  kill -INT "$strace_pid" 2>/dev/null || true
  wait "$strace_pid" 2>/dev/null || true
  calls="$(awk '$NF == "total" {print $4}' "$work/strace-$1.txt")"
  python3 -c "print('%-22s %8.1f system calls per request (%s calls, %s requests, under strace)' % ('$1', $calls / $requests, '$calls', '$requests'))"
}
if [ "${STRACE:-1}" != 0 ] && command -v strace >/dev/null; then
  count_syscalls "cloudwick-feed" "$feed_pid" "http://127.0.0.1:$feed_port$target"
  # Its workers answer (the cache loader may come and go).
  count_syscalls "nginx" "$(pgrep -P "$nginx_pid" -f "worker process" | tr '\n' ' ')" "http://127.0.0.1:$nginx_port$target"
fi
