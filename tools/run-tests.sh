#!/usr/bin/env bash
# Every test, from a fresh Debian 12 machine: installs what is missing, builds,
# runs the whole suite, then runs the tests that need no office again in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

bash tools/setup-debian.sh

# The print test sends a job to a PDF printer of its own, which needs the
# print service running.
if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  $sudo cupsd
  for _ in $(seq 50); do
    lpstat -r 2>/dev/null | grep -q 'is running' && break
    sleep 0.1
  done
fi

# CI (which sets CI) builds with warnings as errors.
werror=OFF
if [ -n "${CI:-}" ]; then
  werror=ON
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLAMONT_WERROR="$werror"
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPELLAMONT_SANITIZE=ON \
  -DPELLAMONT_WERROR="$werror"
# Only what the tests that need no office run: the office tests are not run here.
cmake --build build-sanitize -j"$jobs" --target pellamont_unit_tests
# Leak reports are off: Qt's platform plugins keep caches for the life of the process.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize -LE office --output-on-failure
