#!/usr/bin/env bash
# Installs Pellamont both ways the README gives and checks the result:
#  1. `cmake --install` into a staging folder: exactly the expected files, the
#     desktop entry and the AppStream metainfo pass their validators, the icon
#     named by the entry exists at every size, the manual page formats cleanly;
#  2. the Debian package built by CPack installs into this machine with apt
#     (so its dependencies resolve), the installed program starts offscreen and
#     shows its main window, the package owns nothing outside the expected
#     folders, and purging it leaves nothing behind.
# Needs root (or sudo) for step 2; CI runs it on a throwaway machine. It refuses
# to run when a pellamont package is already installed, and removes everything
# it made, whatever happens.
#
# Usage: tools/check-install.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build}")"

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
apt_get() {
  # Other package work may hold the lock for a while.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"
}
fail() {
  echo "check-install: $*" >&2
  exit 1
}

if dpkg-query -W -f='${Status}' pellamont 2>/dev/null | grep -q 'installed'; then
  fail "a pellamont package is already installed; remove it first (apt-get purge pellamont)"
fi

work="$(mktemp -d /tmp/pellamont-check-install.XXXXXX)"
# apt reads the package as its own unprivileged user.
chmod 755 "$work"
installed=0
cleanup() {
  # The program ends its office itself; one that survives a failed check is
  # ended here, found by the profile folder inside this check's folder.
  local pids
  pids="$(pgrep -f -- "$work" || true)"
  if [ -n "$pids" ]; then
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null || true
  fi
  if [ "$installed" -eq 1 ]; then
    apt_get purge pellamont >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

cmake --build "$build" -j"$(nproc)" --target pellamont pellamont-batch pellamont_desktop_files
prefix="$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
app_id="org.corvanti.Pellamont"
icon_sizes=(16 22 24 32 48 64 128 256)

echo "== cmake --install into a staging folder (prefix $prefix)"
stage="$work/stage"
DESTDIR="$stage" cmake --install "$build" >/dev/null
root="$stage$prefix"
expected=(
  "bin/pellamont"
  "bin/pellamont-batch"
  "share/applications/$app_id.desktop"
  "share/metainfo/$app_id.metainfo.xml"
  "share/man/man1/pellamont.1.gz"
  "share/man/man1/pellamont-batch.1.gz"
  "share/doc/pellamont/copyright"
  "share/icons/hicolor/scalable/apps/$app_id.svg"
)
for size in "${icon_sizes[@]}"; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
# Every file, wherever it went: nothing outside the prefix, nothing of the
# tests, tools or benchmarks.
diff <(printf "$prefix/%s\n" "${expected[@]}" | sort) <(cd "$stage" && find . ! -type d -printf '/%P\n' | sort) ||
  fail "the install holds other files than expected"

desktop="$root/share/applications/$app_id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = "$app_id" ] || fail "the desktop entry names another icon"
[ "$(sed -n 's/^Exec=//p' "$desktop")" = "pellamont" ] || fail "the desktop entry starts another program"
for size in "${icon_sizes[@]}"; do
  file "$root/share/icons/hicolor/${size}x${size}/apps/$app_id.png" | grep -q "PNG image data, $size x $size," ||
    fail "the ${size}x$size icon is not a $size x $size PNG"
done

metainfo="$root/share/metainfo/$app_id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo does not name version $version"

for page in pellamont pellamont-batch; do
  warnings="$(zcat "$root/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "the manual page $page has formatting problems: $warnings"
done

echo "== cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
debs=("$work"/deb/pellamont_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no pellamont_${version}_*.deb"
chmod 644 "${debs[0]}"
depends="$(dpkg-deb -f "${debs[0]}" Depends)"
echo "Depends: $depends"
for needed in "libreoffice-writer-nogui | libreoffice-writer" "libreoffice-draw-nogui | libreoffice-draw" \
  fonts-liberation libqt6widgets6 libuno-sal3; do
  grep -qF -- "$needed" <<<"$depends" || fail "the package does not depend on $needed"
done

echo "== apt-get install ${debs[0]##*/}"
installed=1
apt_get install "${debs[0]}" >/dev/null
[ "$(dpkg-query -W -f='${Version}' pellamont)" = "$version" ] || fail "the installed version is not $version"

echo "== the installed program starts offscreen"
run="$work/run"
mkdir -p "$run/home" "$run/config" "$run/cache" "$run/data" "$run/tmp" "$run/runtime"
chmod 700 "$run/runtime"
status=0
output="$(cd "$run" && env -i PATH=/usr/bin:/bin HOME="$run/home" XDG_CONFIG_HOME="$run/config" \
  XDG_CACHE_HOME="$run/cache" XDG_DATA_HOME="$run/data" XDG_RUNTIME_DIR="$run/runtime" \
  TMPDIR="$run/tmp" QT_QPA_PLATFORM=offscreen PELLAMONT_QUIT_WHEN_SHOWN=1 \
  timeout 180 /usr/bin/pellamont 2>"$run/stderr")" || status=$?
if [ "$status" -ne 0 ]; then
  cat "$run/stderr" >&2
  fail "the installed program failed (exit status $status)"
fi
[ "$output" = "shown" ] || fail "the installed program printed \"$output\", not \"shown\""
batch_version="$(env -i PATH=/usr/bin:/bin HOME="$run/home" /usr/bin/pellamont-batch --version)" ||
  fail "the installed pellamont-batch does not start without a display"
[ "$batch_version" = "pellamont-batch $version" ] || fail "pellamont-batch says \"$batch_version\""
# An office killed as the program ends may take a moment to go.
for _ in 1 2 3 4 5 6 7 8 9 10; do
  pgrep -f -- "$work" >/dev/null || break
  sleep 0.5
done
if pgrep -f -- "$work" >/dev/null; then
  fail "an office started by the program outlived it"
fi

echo "== dpkg -L pellamont"
owned="$(dpkg -L pellamont)"
allowed=(/usr/bin/pellamont /usr/bin/pellamont-batch /usr/share/applications /usr/share/icons/hicolor /usr/share/metainfo
  /usr/share/man /usr/share/doc/pellamont)
while IFS= read -r path; do
  [ "$path" = "/." ] && continue
  ok=0
  for folder in "${allowed[@]}"; do
    # The folder itself, a path inside it, or a folder on the way to it.
    if [ "$path" = "$folder" ] || [[ "$path" == "$folder"/* ]] ||
      { [ -d "$path" ] && [[ "$folder" == "$path"/* ]]; }; then
      ok=1
      break
    fi
  done
  [ "$ok" -eq 1 ] || fail "the package owns $path, outside the expected folders"
done <<<"$owned"

echo "== apt-get purge pellamont"
apt_get purge pellamont >/dev/null
installed=0
if dpkg -L pellamont >/dev/null 2>&1; then
  fail "dpkg still knows files of pellamont after the purge"
fi
while IFS= read -r path; do
  if [ -f "$path" ] || [ -L "$path" ]; then
    fail "$path is left after the purge"
  fi
done <<<"$owned"
[ ! -e /usr/share/doc/pellamont ] || fail "/usr/share/doc/pellamont is left after the purge"

echo "check-install: all checks passed"
