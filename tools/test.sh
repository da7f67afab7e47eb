#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test:
# unit tests, resource checks, fuzzing, the feed service's tests and the
# end-to-end tests of the real card under Wine. Fails when a test failed or
# was skipped (tools/ctest.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh" "$root/build"
exec bash "$root/tools/ctest.sh" "$@"
