#!/usr/bin/env bash
# Sets up the machine, builds the card and its feed service, and runs the
# card under Wine the way a Windows user does: Cloudwick.exe alone, with
# cloudwick-feed.exe beside it, which the card starts itself (sample data
# unless CLOUDWICK_PROVIDER=open-meteo). Without a DISPLAY it runs on a
# private Xvfb screen and saves a screenshot to out/run/card.png.
# Everything it starts it stops on exit, by pid; the service ends with the card.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh" "$root/build"

run="$root/out/run"
prefix="${CLOUDWICK_WINEPREFIX:-$HOME/.cache/cloudwick/wine}"
mkdir -p "$run"
cp "$root/build/win/Cloudwick.exe" "$root/build/win/cloudwick-feed.exe" "$run/"
printf 'provider=%s\r\n' "${CLOUDWICK_PROVIDER:-sample}" > "$run/cloudwick-feed.conf"
# First run: a sample place, so the card shows weather straight away.
if [ ! -f "$run/cloudwick.conf" ]; then
  printf '0\r\n0\r\n1\r\n7155\r\n3555\r\n1850147\r\n1\r\nTokyo\r\n' > "$run/cloudwick.conf"
fi

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  # The prefix's wineserver ends by itself once the card is gone.
  WINEPREFIX="$prefix" timeout 15 wineserver -w 2>/dev/null || true
}
trap cleanup EXIT INT TERM

# until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
until_ok() {
  local end=$((SECONDS + $1)); shift
  until "$@" 2>/dev/null; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}
# The service the card starts listens on a free port of its own and tells
# the card which: neither root nor port 80 is needed.

headless=0
if [ -z "${DISPLAY:-}" ]; then
  n=77
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  export DISPLAY=":$n"
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  headless=1
  until_ok 30 xdpyinfo >/dev/null || { echo "run: Xvfb did not start on $DISPLAY" >&2; exit 1; }
fi

bash "$root/tools/wine_prefix.sh" "$prefix"
export WINEARCH=win32 WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="

cd "$run"
wine Cloudwick.exe &
card=$!
pids+=($card)
if [ "$headless" = 1 ]; then
  card_shown() { xwininfo -root -tree | grep -q '"cloudwick.exe"'; }
  feed_asked() { grep -q 'forecastrss' "$run/cloudwick-feed.log"; }
  # The screen is still when two shots half a second apart are the same.
  screen_still() {
    import -window root "$run/card.png" && sleep 0.5 && import -window root "$run/card-next.png" &&
      cmp -s <(convert "$run/card.png" rgb:-) <(convert "$run/card-next.png" rgb:-)
  }
  # A first start also finishes setting up the Wine prefix: wait for the card,
  # for its request to the feed, then for its window to stop changing.
  until_ok 120 card_shown || echo "run: no card window after 120 s" >&2
  until_ok 60 feed_asked || echo "run: the card has not asked the feed yet" >&2
  until_ok 30 screen_still || true
  rm -f "$run/card-next.png"
  echo "run: no display here; the card as it looks now: $run/card.png"
  echo "run: the card runs on $DISPLAY; press Ctrl-C to stop it"
fi
wait "$card" || true
