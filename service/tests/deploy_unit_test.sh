#!/usr/bin/env bash
# The systemd unit in service/deploy: `systemd-analyze verify` finds nothing
# to say about it (an unknown or misspelt key is only a warning there, so
# any line about the unit fails the test), and its hardening scores "OK"
# in `systemd-analyze security`. ExecStart points at the built program.
# Usage: deploy_unit_test.sh UNIT BINARY. Exit 77 (skip) without systemd-analyze.
set -uo pipefail
unit=$1 binary=$2
command -v systemd-analyze >/dev/null || { echo "SKIP: systemd-analyze is not installed (Debian's systemd)"; exit 77; }
[ -x "$binary" ] || { echo "FAIL: $binary is not built"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
sed "s|^ExecStart=/usr/local/bin/cloudwick-feed |ExecStart=$binary |" "$unit" >"$dir/cloudwick-feed.service"
grep -q "^ExecStart=$binary " "$dir/cloudwick-feed.service" || { echo "FAIL: no ExecStart to point at the program"; exit 1; }

out=$(systemd-analyze verify "$dir/cloudwick-feed.service" 2>&1)
rc=$?
echo "verify: exit $rc${out:+; $out}"
if [ $rc -ne 0 ] || grep -q "cloudwick-feed.service" <<<"$out"; then
  echo "FAIL: systemd-analyze verify"
  exit 1
fi
for key in "DynamicUser=yes" "AmbientCapabilities=CAP_NET_BIND_SERVICE" "CapabilityBoundingSet=CAP_NET_BIND_SERVICE" \
           "NoNewPrivileges=yes" "Restart=on-failure" "ProtectSystem=strict"; do
  grep -qx "$key" "$unit" || { echo "FAIL: the unit lacks $key"; exit 1; }
done
score=$(systemd-analyze security --offline=true "$dir/cloudwick-feed.service" 2>&1 | grep "Overall exposure level")
echo "security: $score"
grep -q " OK " <<<"$score" || { echo "FAIL: exposure above OK"; exit 1; }
echo "PASS"
