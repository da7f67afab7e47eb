#!/usr/bin/env bash
# Sets up the machine, builds the card and the feed service, starts the
# service on 127.0.0.1:80 (sample data unless CLOUDWICK_PROVIDER says
# otherwise) and runs the card under Wine. Without a DISPLAY it runs on a
# private Xvfb screen and saves a screenshot to out/run/card.png.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh" "$root/build"

run="$root/out/run"
mkdir -p "$run"
cp "$root/build/win/Cloudwick.exe" "$run/"
# First run: a sample place, so the card shows weather straight away.
if [ ! -f "$run/cloudwick.conf" ]; then
  printf '0\r\n0\r\n1\r\n7155\r\n3555\r\n1850147\r\n1\r\nTokyo\r\n' > "$run/cloudwick.conf"
fi

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if ! (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null; then
  "$root/build/native/service/cloudwick-feed" --provider "${CLOUDWICK_PROVIDER:-sample}" --listen 127.0.0.1:80 \
    2> "$run/feed.log" &
  pids+=($!)
  sleep 1
else
  echo "run: something already listens on 127.0.0.1:80; the card will use it"
fi

headless=0
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  headless=1
  sleep 1
fi

prefix="${CLOUDWICK_WINEPREFIX:-$HOME/.cache/cloudwick/wine}"
bash "$root/tools/wine_prefix.sh" "$prefix"
export WINEARCH=win32 WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="

cd "$run"
wine Cloudwick.exe &
card=$!
if [ "$headless" = 1 ]; then
  # A first start also finishes setting up the Wine prefix: wait for the card.
  for _ in $(seq 60); do
    xwininfo -root -tree 2>/dev/null | grep -q '"cloudwick.exe"' && break
    sleep 1
  done
  sleep 4
  import -window root "$run/card.png" && echo "run: no display here; the card as it looks now: $run/card.png"
  echo "run: the card runs on $DISPLAY; press Ctrl-C to stop it"
fi
wait "$card" || true
