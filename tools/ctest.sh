#!/usr/bin/env bash
# Runs CTest in the native build tree and fails when any test failed or was
# skipped: after tools/setup.sh every tool is present, so a skip means a test
# that did not test anything (a missing exe, probe or tool). Prints which.
#
# Only a Wine case (labels e2e and wine: the real exes under Wine, which
# under load now and then drops a key press or brings its desktop up late)
# may run a second time, once, after the whole run; every case that did is
# printed at the end with its second result, and more than three in one
# run fail it. Any other failure fails the run at once.
#
# Usage: tools/ctest.sh [ctest arguments...]   (tools/test.sh runs it last)
#        tools/ctest.sh -L quick               (all but Wine, fuzzing and the container)
# JOBS: the cores the tests may use (default: all of them). CTest gets two
# slots per core: a Wine case spends most of its time waiting on the card's
# timers and servers, not computing. A case that keeps a core busy for its
# whole run (fuzzing, the container's compile) takes both slots of its core
# (CTest's PROCESSORS 2).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$root/out/artifacts"
first="$root/out/ctest-junit.xml"
second="$root/out/ctest-junit-rerun.xml"
rm -f "$first" "$second"
cd "$root/build/native"
jobs="${JOBS:-$(nproc)}"
slots=$((2 * jobs))
rc=0
ctest --output-on-failure -j "$slots" --output-junit "$first" "$@" || rc=$?
[ -f "$first" ] || { echo "ctest: no results in $first" >&2; exit 1; }

# The Wine cases that failed (first line) and the other failures (second).
read_failures() {
  python3 - "$1" <<'PY'
import sys
import xml.etree.ElementTree as ET
wine, other = [], []
for case in ET.parse(sys.argv[1]).iter("testcase"):
    if case.get("status") != "fail" and case.find("failure") is None:
        continue
    name = case.get("name")
    (wine if name.startswith(("e2e.", "service.wine.", "resources.pictures_drawn_by_windows")) else other).append(name)
print(" ".join(wine))
print(" ".join(other))
PY
}
{ read -r wine_failed; read -r other_failed; } < <(read_failures "$first")

reran=()
if [ -n "$wine_failed" ] && [ -z "$other_failed" ]; then
  read -r -a reran <<<"$wine_failed"
  if [ "${#reran[@]}" -gt 3 ]; then
    echo "ctest: ${#reran[@]} Wine cases failed; more than three is a fault, not Wine's load: no second run" >&2
    reran=()
  else
    pattern="^($(printf '%s\n' "${reran[@]}" | sed 's/[.[\]*^$()+?{}|]/\\&/g' | paste -sd'|'))\$"
    echo "ctest: running ${#reran[@]} failed Wine case(s) once more: ${reran[*]}"
    rc=0
    ctest --output-on-failure -j "$slots" --output-junit "$second" -R "$pattern" || rc=$?
  fi
fi

summary="$(python3 - "$first" "$second" "${reran[@]}" <<'PY'
import os
import sys
import xml.etree.ElementTree as ET
first, second, reran = sys.argv[1], sys.argv[2], sys.argv[3:]

def cases(path):
    if not os.path.exists(path):
        return {}
    return {c.get("name"): c for c in ET.parse(path).iter("testcase")}

final = cases(first)
again = cases(second)
final.update(again)

def failed(c):
    return c.get("status") == "fail" or c.find("failure") is not None

def skipped(c):
    return c.get("status") in ("notrun", "disabled") or c.find("skipped") is not None

for name in reran:
    c = again.get(name)
    result = "no result" if c is None else ("failed again" if failed(c) else "passed")
    print("RERUN %s: failed, then %s on its second run" % (name, result))
for name, c in sorted(final.items()):
    if not skipped(c):
        continue
    out = c.findtext("system-out") or ""
    why = [l[len("SKIP:"):].strip() for l in out.splitlines() if l.startswith("SKIP:")]
    s = c.find("skipped")
    why = why or [s.get("message", "") if s is not None else c.get("status")]
    print("SKIPPED %s: %s" % (name, why[-1]))
n_failed = sum(1 for c in final.values() if failed(c))
n_skipped = sum(1 for c in final.values() if skipped(c))
print("TOTAL %d %d %d" % (len(final) - n_failed - n_skipped, n_failed, n_skipped))
PY
)"
reruns="$(printf '%s\n' "$summary" | grep '^RERUN ' || true)"
skips="$(printf '%s\n' "$summary" | grep '^SKIPPED ' || true)"
read -r _ passed failed skipped <<<"$(printf '%s\n' "$summary" | grep '^TOTAL ')"

if [ -n "$reruns" ]; then
  echo "ctest: $(printf '%s\n' "$reruns" | wc -l) Wine case(s) ran twice:"
  printf '%s\n' "$reruns" | sed 's/^RERUN /  /'
fi
if [ -n "$skips" ]; then
  echo "ctest: $skipped test(s) skipped; after tools/setup.sh every test must run:" >&2
  printf '%s\n' "$skips" | sed 's/^SKIPPED /  /' >&2
  [ "$rc" -ne 0 ] || rc=1
fi
if [ "$failed" -gt 0 ] && [ "$rc" -eq 0 ]; then rc=1; fi
echo "tests: $passed passed, $failed failed, $skipped skipped"
exit "$rc"
