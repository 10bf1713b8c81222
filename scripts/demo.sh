#!/usr/bin/env bash
# Shows the whole chain at work with the sample configuration in config/:
# starts the diagnostic service in a temporary working directory, raises three
# errors with fwerror (the antenna fault raises the position and steering
# faults through their automatic trigger sets), shows the active errors with
# fwinspect, decodes a state code, clears the antenna fault, shows the active
# errors again and stops the service.
#
#   scripts/demo.sh                    installs missing Debian packages (as
#                                      root), builds the three programs into
#                                      build/, runs the demo
#   scripts/demo.sh --programs DIR     runs the demo with the programs already
#                                      built in DIR (the test suite does this)
#
# The installation and the build print one line per step; their output goes
# to build/demo-build.log, which is shown when a step fails. The service
# listens on 127.0.0.1:5300, which must be free. Exit status 0, after a last
# line that says so, when every step showed what it should.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)

# Runs a step of the preparation with its output in the log, in one line.
log=$repo/build/demo-build.log
quietly() {
  local what=$1
  shift
  printf '%s ... ' "$what"
  if "$@" >>"$log" 2>&1; then
    echo done
  else
    echo failed
    echo "demo: $what failed; the log, $log, ends:" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}

if [ $# -eq 2 ] && [ "$1" = "--programs" ]; then
  programs=$(cd "$2" && pwd)
elif [ $# -eq 0 ]; then
  mkdir -p "$repo/build"
  : >"$log"
  quietly "Checking the Debian packages" "$repo/scripts/install-deps.sh"
  quietly "Configuring build/" cmake -S "$repo" -B "$repo/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  quietly "Building fwerror, fwservice and fwinspect" \
    cmake --build "$repo/build" -j "$(nproc)" --target fwerror fwservice fwinspect
  programs=$repo/build
else
  echo "usage: $0 [--programs DIR]" >&2
  exit 1
fi
config=$repo/config/
work=$(mktemp -d /tmp/faultwright-demo-XXXXXX)
service=

# The live database's shared segment and semaphore outlive every process;
# they belong to the working directory, so they go with it. Another
# directory's key may be the same (ftok keeps only part of the inode): what
# another user made there is theirs, even for root.
remove_live_database() {
  local device inode key kind id
  read -r device inode < <(stat -c '%d %i' "$work")
  # 0x44 is CErrorDatabaseView::kKeyId, the project id of ftok(".", kKeyId).
  key=$(printf '0x%08x' $(( (0x44 << 24) | ((device & 0xff) << 16) | (inode & 0xffff) )))
  for kind in m s; do
    for id in $(ipcs -"$kind" | awk -v key="$key" -v owner="$(id -un)" '$1 == key && $3 == owner { print $2 }'); do
      ipcrm -"$kind" "$id" 2>/dev/null || true
    done
  done
}

clean_up() {
  if [ -n "$service" ] && kill -0 "$service" 2>/dev/null; then
    kill -TERM "$service" 2>/dev/null || true
    wait "$service" 2>/dev/null || true
  fi
  remove_live_database
  rm -rf "$work"
}
trap clean_up EXIT

fail() {
  echo "demo: $*" >&2
  if [ -s "$work/service.log" ]; then
    echo "fwservice wrote:" >&2
    sed 's/^/  /' "$work/service.log" >&2
  fi
  exit 1
}

# Echoes a command as one would type it.
show() {
  local word line='$'
  for word in "$@"; do
    if [[ "$word" == *" "* ]]; then line+=" \"$word\""; else line+=" $word"; fi
  done
  printf '\n%s\n' "$line"
}

# Runs a program in the working directory after echoing the command.
run() {
  show "$@"
  (cd "$work" && "$programs/$@")
}

# Waits up to 10 s until the command succeeds with output that holds (or,
# after "!", lacks) the text.
wait_for() {
  local holds=true
  if [ "$1" = "!" ]; then holds=false; shift; fi
  local text=$1 output
  shift
  for _ in $(seq 100); do
    if output=$(cd "$work" && "$programs/$@" 2>/dev/null); then
      if [[ "$output" == *"$text"* ]]; then $holds && return 0; else $holds || return 0; fi
    fi
    [ -z "$service" ] || kill -0 "$service" 2>/dev/null || fail "fwservice has stopped (is port 5300 in use?)"
    sleep 0.1
  done
  fail "timed out waiting for \"$text\" from $*"
}

echo "Working directory: $work"
show fwservice --config "$config" --state "$work/states" "&"
(cd "$work" && exec "$programs/fwservice" --config "$config" --state "$work/states") >"$work/service.log" 2>&1 &
service=$!
# Ready when its database is enabled and the port answers.
wait_for "[" fwinspect active "$config" --json
for _ in $(seq 100); do
  (: </dev/tcp/127.0.0.1/5300) 2>/dev/null && break
  kill -0 "$service" 2>/dev/null || fail "fwservice has stopped (is port 5300 in use?)"
  sleep 0.1
done

run fwerror -r GPS "L1 L2 Antenna" Voltage 4
run fwerror -r "Navigation And Control" Line "A Not Set" 14
run fwerror -r Spray Treatments "Beyond Treatment Range Limit" 15
# The antenna fault raises the position fault, which raises the steering fault.
for error in "GPS:L1 L2 Antenna:Voltage:4" "GPS:GPS:Position Calculation:11" \
  "Navigation And Control:Steering:Disengage Fault:11" "Navigation And Control:Line:A Not Set:14" \
  "Spray:Treatments:Beyond Treatment Range Limit:15"; do
  wait_for "$error" fwinspect active "$config"
done

run fwinspect active "$config" | tee "$work/active.txt"
code=$(awk '/^Navigation And Control:Steering:Disengage Fault:11$/ { found = 1 }
            found && /^  stateCode:/ { print $2; exit }' "$work/active.txt")
[ -n "$code" ] || fail "no state code for the steering fault"
# The code records the whole chain of active triggers below the steering fault.
run fwinspect decode "$config" "$code" | tee "$work/decoded.txt"
grep -qx -- "+-----GPS:L1 L2 Antenna:Voltage:4" "$work/decoded.txt" || fail "the state code lost the antenna fault"

run fwerror -c GPS "L1 L2 Antenna" Voltage 4
wait_for ! "Disengage Fault" fwinspect active "$config"
run fwinspect active "$config"

show kill -TERM "$service"
kill -TERM "$service"
status=0
wait "$service" || status=$?
service=
[ "$status" -eq 0 ] || fail "fwservice ended with status $status"
echo "fwservice stopped; it wrote:"
sed 's/^/  /' "$work/service.log"
echo
echo "The demo succeeded: every step showed what it should."
