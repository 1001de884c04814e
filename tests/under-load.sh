#!/usr/bin/env bash
# Runs a command beside busy processes that keep every core occupied, to see that
# the tests hold on a loaded machine:
#   tests/under-load.sh [-n COUNT] COMMAND [ARGUMENTS...]
#   tests/under-load.sh -n 16 ./build.sh test
# COUNT busy loops (default twice the cores) start before the command and are ended by
# their process ids when it ends, also when this script is interrupted or terminated
# (the command and what it started are then terminated too). Without a command the
# load runs until this script is interrupted. The exit status is the command's.
set -euo pipefail

count=$((2 * $(nproc)))
if [ "${1:-}" = -n ]; then
  count=${2:?"-n needs a count"}
  shift 2
fi
case $count in
  '' | *[!0-9]*)
    echo "under-load.sh: not a count: $count" >&2
    exit 2
    ;;
esac

busy=()
command_pid=
stop_all() {
  local pid
  # The command's process group, whose id is the command's own.
  [ -z "$command_pid" ] || kill -TERM -- "-$command_pid" 2>/dev/null || true
  for pid in "${busy[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${busy[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  busy=()
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

for ((i = 0; i < count; ++i)); do
  sh -c 'while :; do :; done' &
  busy+=("$!")
done
echo "under-load.sh: $count busy processes: ${busy[*]}" >&2

[ $# -gt 0 ] || set -- sleep infinity
# In the background, so that a signal to this script is handled at once rather than
# after the command ends, and in a process group of its own.
set -m
"$@" <&0 &
command_pid=$!
set +m
status=0
wait "$command_pid" || status=$?
command_pid=
exit "$status"
