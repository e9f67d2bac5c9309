#!/usr/bin/env bash
# Lists the functions of the program's own sources that are longer than a
# screen, longest first, and fails when there is one:
#   tools/function-lengths.sh [limit] [file...]
# A function counts from the first line of its signature to its closing brace.
# It relies on the layout clang-format gives (.clang-format): a function's
# opening brace alone on its line, its closing brace at the same indent.
# Classes, namespaces and initialised tables are not functions.
set -euo pipefail
cd "$(dirname "$0")/.."
limit="${1:-60}"
shift || true
if [ $# -eq 0 ]; then
  mapfile -t files < <(git ls-files -- 'app/*.cpp' 'base/*.cpp' 'generate/*.cpp' 'gui/*.cpp' \
    'office/*.cpp' 'preview/*.cpp' 'mainwindow/*.cpp' 'batch/*.cpp')
  set -- "${files[@]}"
fi
long="$(awk -v limit="$limit" '
  FNR == 1 { inside = 0; sig = 0 }
  # A signature starts after a line that ends a statement, a block or a comment.
  {
    line = $0
    if (!inside) {
      if (line ~ /^[ \t]*\{[ \t]*$/ && sig > 0 && head !~ /^[ \t]*(class|struct|union|enum|namespace)[ \t]/ &&
          head !~ /=[ \t]*$/) {
        match(line, /^[ \t]*/)
        open = substr(line, 1, RLENGTH)
        inside = 1
        start = sig
        name = head
      } else if (line ~ /^[ \t]*$/ || line ~ /[;{}][ \t]*$/ || line ~ /^[ \t]*(\/\/|#)/ || line ~ /\*\/[ \t]*$/) {
        sig = 0
      } else if (sig == 0) {
        sig = FNR
        head = line
      }
    } else if (line ~ ("^" open "\\}")) {
      length_ = FNR - start + 1
      if (length_ > limit) {
        sub(/^[ \t]+/, "", name)
        printf "%d\t%s:%d\t%s\n", length_, FILENAME, start, name
      }
      inside = 0
      sig = 0
    }
  }
' "$@" | sort -rn)"
if [ -n "$long" ]; then
  printf '%s\n' "$long"
  exit 1
fi
