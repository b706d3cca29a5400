#!/usr/bin/env bash
# Runs scripts/check-layers on scratch copies of the fixture tree, each with one include added, and checks that
# it fails exactly when it should and names the offending line.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
check="$root/scripts/check-layers"
fixture="$root/tests/layers/fixture"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failures=0
# file | include added as its last line | expected exit code | text expected in the report ("" for none)
cases=(
  "runtime/app/errors.h|host/clock.h|1|runtime/app/errors.h:3: upward include"
  "host/clock.h|scene/display/display.h|1|host/clock.h:3: upward include"
  "runtime/vm/vm.h|../app/errors.h|1|runtime/vm/vm.h:2: upward include"
  "scene/display/display.h|fx/effect.cpp|1|scene/display/display.h:3: include cycle: scene includes fx"
  "tools/compile.cpp|host/clock.h|1|tools/compile.cpp:3: the tools include"
  "host/clock.h|tests/anything_test.cpp|1|host/clock.h:3: includes test code"
  "host/clock.h|../runtime/vm/vm.h|0|"
  "player/main.cpp|fx/effect.cpp|0|"
  "tests/anything_test.cpp|player/main.cpp|0|"
)
for row in "${cases[@]}"; do
  IFS='|' read -r file include expected text <<<"$row"
  rm -rf "$work/tree" && cp -r "$fixture" "$work/tree"
  printf '#include "%s"\n' "$include" >>"$work/tree/$file"
  set +e
  "$check" "$work/tree" 2>"$work/report"
  code=$?
  set -e
  if [ "$code" != "$expected" ] || { [ -n "$text" ] && ! grep -qF -- "$text" "$work/report"; }; then
    echo "FAIL: $file + $include: exit $code (wanted $expected), report:" >&2
    cat "$work/report" >&2
    failures=$((failures + 1))
  fi
done
# The unchanged fixture passes.
"$check" "$fixture" || { echo "FAIL: the unchanged fixture is refused" >&2; failures=$((failures + 1)); }
exit $((failures > 0))
