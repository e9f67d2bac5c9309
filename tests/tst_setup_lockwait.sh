#!/usr/bin/env bash
# The set-up script against a package manager that holds apt's lock: it
# waits (bounded) and installs once the lock is free; it gives up with a
# plain message when the lock stays taken. apt-get, dpkg-query and sudo are
# stand-ins here; nothing is installed.
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# Every package is missing; apt-get finds the lock taken for `busy` calls.
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
cat >"$work/bin/apt-get" <<'FAKE'
#!/bin/sh
count=$(cat "$WORK/calls" 2>/dev/null || echo 0)
echo $((count + 1)) >"$WORK/calls"
if [ "$count" -lt "$BUSY" ]; then
  echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (unattended-upgr)" >&2
  exit 100
fi
echo "$@" >>"$WORK/done"
FAKE
chmod +x "$work/bin/"*
run() { PATH="$work/bin:$PATH" WORK="$work" PELLAMONT_LOCK_POLL_SECONDS=0 bash "$script" 2>&1; }

out=$(BUSY=2 run) || { echo "FAIL: gave up while the lock was taken: $out"; exit 1; }
grep -q "Waiting up to" <<<"$out" || { echo "FAIL: no word about waiting: $out"; exit 1; }
[ "$(grep -c . "$work/done")" -eq 2 ] || { echo "FAIL: update and install not both run"; exit 1; }

rm -f "$work/calls" "$work/done"
if out=$(BUSY=1000000 PELLAMONT_LOCK_WAIT_SECONDS=0 run); then
  echo "FAIL: reported success with the lock taken"; exit 1
fi
grep -q "nothing was installed" <<<"$out" || { echo "FAIL: no plain message: $out"; exit 1; }
[ ! -e "$work/done" ] || { echo "FAIL: installed without the lock"; exit 1; }
echo "PASS"
