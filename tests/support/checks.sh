# Named checks for the test scripts, sourced by them. `check NAME` begins a
# check, `fail WHY` marks the current one failed (it may fail more than one
# way), and `finish_checks` ends the last one, prints "N passed, M failed"
# (the line tests/run counts) and returns 1 if any failed.
checks_passed=0
checks_failed=0
check_name=""
check_failed=0

end_check() {
  [ -n "$check_name" ] || return 0
  if [ "$check_failed" = 0 ]; then
    echo "ok: $check_name"
    checks_passed=$((checks_passed + 1))
  else
    checks_failed=$((checks_failed + 1))
  fi
  check_name=""
}

check() {
  end_check
  check_name=$1
  check_failed=0
}

fail() {
  echo "FAIL: ${check_name:-setup}: $*"
  check_failed=1
  [ -n "$check_name" ] || checks_failed=$((checks_failed + 1))
}

finish_checks() {
  end_check
  echo "$checks_passed passed, $checks_failed failed"
  [ "$checks_failed" = 0 ]
}

# The state of process PID as /proc shows it (R, S, T, Z ...), or nothing
# once it is gone.
process_state() {
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 0
  stat=${stat##*) }
  echo "${stat%% *}"
}

# Whether process PID still runs: not gone and not a zombie.
running() {
  local state
  state=$(process_state "$1")
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

# Whether FOLDER holds a temporary file (a name ending in .part).
has_part() { compgen -G "$1/*.part" >/dev/null; }

# Whether FOLDER holds a temporary file with data in it: the run has set it
# up (on Windows, marked it for deletion) and is writing its track.
has_written_part() {
  local file
  for file in "$1"/*.part; do [ -s "$file" ] && return 0; done
  return 1
}

# stop_while_named FOLDER PID: stops process PID at a moment when one of its
# temporary files has a name and data in FOLDER, seen again while it is
# stopped, so that its track is certainly still being written. Returns 1
# if the process ended first.
stop_while_named() {
  local dir=$1 pid=$2 state
  while running "$pid"; do
    has_written_part "$dir" || continue
    kill -STOP "$pid" 2>/dev/null || return 1
    while state=$(process_state "$pid") && [ -n "$state" ] && [ "$state" != T ] &&
      [ "$state" != Z ]; do :; done
    [ "$state" = T ] || return 1
    has_written_part "$dir" && return 0
    kill -CONT "$pid"
  done
  return 1
}
