#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over every source of the program,
# in parallel, from the compile commands of a configured build folder:
#   tools/clang-tidy.sh [build]
# Any finding fails the run. The build must have been built once, so that the
# generated UNO and moc headers exist.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
tidy="$(command -v clang-tidy-14 || command -v clang-tidy)"
runner="$(command -v run-clang-tidy-14 || command -v run-clang-tidy)"
mapfile -t sources < <(git ls-files -- 'app/*.cpp' 'base/*.cpp' 'generate/*.cpp' 'gui/*.cpp' \
  'office/*.cpp' 'preview/*.cpp' 'mainwindow/*.cpp')
# run-clang-tidy takes regular expressions; the paths are plain names.
pattern="$(printf '%s|' "${sources[@]}" | sed 's/[.]/[.]/g; s/|$//')"
"$runner" -quiet -clang-tidy-binary "$tidy" -p "$build" -j "$(nproc)" "/($pattern)\$" \
  > "$build/clang-tidy.log" 2>&1 || { grep -E 'error:|warning:' -A3 "$build/clang-tidy.log"; exit 1; }
if grep -qE '(error|warning):' "$build/clang-tidy.log"; then
  grep -E '(error|warning):' -A3 "$build/clang-tidy.log"
  exit 1
fi
