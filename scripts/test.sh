#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite (unit and end-to-end), then
# builds the Debian package and proves it, then the 32-bit Windows build's tests under wine
# (build-win32/), then the whole suite once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, then every fuzz target briefly (clang, a build folder of its own).
# Every part runs even when an earlier one failed; the last line names each part and its outcome.
# The Windows part alone may be NOT RUN, when its toolchain cannot be installed (a package mirror
# out of sync): the summary then says why, and the exit status is that of the parts that ran.
# Arguments go to the Linux part's ctest.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
log=$(mktemp -t parvela-test.XXXXXX)
summary=()
failed=0
not_run=""
linux_built=1
trap 'rm -f "$log"' EXIT

note() { summary+=("$1"); }
fail() { summary+=("$1"); failed=1; }

# ctest in folder $1 with the rest as options; notes "$name N passed" or what failed.
run_ctest() {
  local name=$1 folder=$2; shift 2
  (cd "$folder" && ctest --output-on-failure -j"$jobs" "$@") 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]} line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  local total=${line##* out of } bad
  bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  if [ "$status" -eq 0 ] && [ -n "$line" ] && [ "$total" -gt 0 ]; then
    note "$name $total passed"
  elif [ -n "$line" ]; then
    fail "$name FAILED ($bad of $total)"
  else
    fail "$name FAILED (no test ran)"
  fi
}

print_summary() {
  local joined="" part
  for part in "${summary[@]}"; do joined+="${joined:+ · }$part"; done
  echo
  echo "==== $joined"
  [ "$failed" -eq 0 ] || echo "==== some parts FAILED"
  [ -z "$not_run" ] || echo "==== the Windows tests did NOT RUN: $not_run"
}

if ./scripts/install-deps.sh && ./scripts/build.sh; then
  run_ctest Linux build "$@"
else
  fail "Linux build FAILED"; linux_built=0
fi

if [ "$linux_built" -eq 0 ]; then
  fail "package proof NOT RUN (no Linux build)"
elif ./scripts/package.sh && ./scripts/package-test.sh; then
  note "package proof passed"
else
  fail "package proof FAILED"
fi

# The Windows side: cross-built, its unit tests and parvela-cli.exe under wine.
./scripts/build-windows.sh 2> >(tee "$log.win" >&2)
status=$?
sleep 0.2  # tee's last line
if [ "$status" -eq 75 ]; then
  not_run=$(tail -n1 "$log.win")
  note "Windows NOT RUN"
elif [ "$status" -ne 0 ]; then
  fail "Windows build FAILED"
elif [ -f build-win32/TESTS-NOT-RUN ]; then
  not_run=$(cat build-win32/TESTS-NOT-RUN)
  note "Windows built, its tests NOT RUN"
else
  run_ctest Windows build-win32
fi
rm -f "$log.win"

if BUILD_FOLDER=build-sanitize BUILD_TYPE=Debug ./scripts/build.sh -DPARVELA_SANITIZE=ON; then
  export LSAN_OPTIONS="suppressions=$PWD/scripts/sanitizer.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  run_ctest sanitizers build-sanitize -L 'unit|e2e'
else
  fail "sanitizers build FAILED"
fi

if BUILD_FOLDER=build-fuzz ./scripts/build.sh -DCMAKE_CXX_COMPILER=clang++-14 -DPARVELA_FUZZ=ON; then
  run_ctest fuzz build-fuzz -L fuzz
else
  fail "fuzz build FAILED"
fi

print_summary
exit "$failed"
