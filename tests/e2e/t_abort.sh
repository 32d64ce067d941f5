#!/bin/bash
# Pressing Abort ("中止") while a large member is extracted deletes that
# member's file, keeps the members written before it, extracts nothing after
# it and ends with exit code 1 (the user ended the run). Once during a -lh5-
# member (the decoder stops)
# and once during a stored one (the copy stops). Closing the window during
# extraction does the same.
#
# The program is held (winprobe freeze: its worker thread is suspended, the
# window thread runs on) while the large member is in progress, so that the
# click lands in the middle of it however fast or slow the machine is.
. "$(dirname "$0")/lib.sh"
e2e_begin "Abort during a large member"

cd "$E2E_WORK"

# abort_run INSTALLER DEST LABEL [close]: runs the installer in DEST and
# presses Abort (or, with close, closes the window as its close box does)
# when the window shows LABEL with the bar at 30 % or more.
abort_run() {
  local installer=$1 dest=$2 label=$3 how=${4:-button} window button
  mkdir "$dest"
  start_installer "$dest" "\"$(winpath "$E2E_WORK/$installer")\""
  if ! window=$(probe freeze --class VORNSFXCLASS --label "$label" --progress-min 30 --timeout 40000); then
    e2e_fail "$installer: never saw $label in progress"
    probe thaw --class VORNSFXCLASS >/dev/null || true
    wait_installer
    return 0
  fi
  e2e_log "held at $(probe_field "$window" 'id=1018' pos) % of the bar"
  if [ "$how" = close ]; then
    probe close --class VORNSFXCLASS >/dev/null || e2e_fail "$installer: the window did not take WM_CLOSE"
    probe thaw --class VORNSFXCLASS >/dev/null || e2e_fail "$installer: window gone before the worker went on"
    wait_installer
    expect_exit 1
    return 0
  fi
  button=$(probe_field "$window" '^child .* id=1017 ' center)
  [ "$(probe_text "$window" ' id=1017 ')" = "中止" ] || e2e_fail "the Abort button does not read 中止"
  # Press and release separately, and let the worker go on only once the
  # button has been released, i.e. once the click has been handled.
  xdotool mousemove "${button%,*}" "${button#*,}" mousedown 1
  probe wait --class VORNSFXCLASS --pushed 1017 --timeout 10000 >/dev/null ||
    e2e_fail "$installer: the Abort button did not go down"
  xdotool mouseup 1
  probe wait --class VORNSFXCLASS --released 1017 --timeout 10000 >/dev/null ||
    e2e_fail "$installer: the Abort button did not come up"
  probe thaw --class VORNSFXCLASS >/dev/null || e2e_fail "$installer: window gone before the worker went on"
  wait_installer
  expect_exit 1
}

# Compressed: the large member is -lh5- (level 1), 8 MB of text.
E2E_EXPECTED=$E2E_WORK/packed
stored_member packed.list -lh0- 0 keep1.txt 4000 text 1 1500000000
packed_member jlha.list -lh6- 2 sub/keep2.bin 20000 random 2 1500000002
packed_member jlha.list -lh5- 1 big/large.txt 8000000 text 3 1500000004
jlha_archive jlha.lzh jlha.list
printf 'copy\tjlha.lzh\n' >>packed.list
stored_member packed.list -lh0- 2 after.txt 3000 text 4 1500000006
make_archive packed.lzh packed.list
build_installer packed.lzh packed.exe --plain
abort_run packed.exe dest1 big/large.txt
expect_same packed/keep1.txt dest1/keep1.txt
expect_same packed/sub/keep2.bin dest1/sub/keep2.bin
expect_mtime dest1/sub/keep2.bin 1500000002
expect_absent dest1/big/large.txt
expect_absent dest1/after.txt

# Stored: the large member is -lh0- (level 2), 24 MB.
E2E_EXPECTED=$E2E_WORK/stored
stored_member stored.list -lh0- 1 keep.txt 4000 text 5 1500000000
stored_member stored.list -lh0- 2 big.bin 24000000 random 6 1500000002
stored_member stored.list -lh0- 0 after.txt 3000 text 7 1500000004
make_archive stored.lzh stored.list
build_installer stored.lzh stored.exe --plain
abort_run stored.exe dest2 big.bin
expect_same stored/keep.txt dest2/keep.txt
expect_absent dest2/big.bin
expect_absent dest2/after.txt

# Closing the window during the large member works like Abort: the worker
# stops, the member's file is deleted and the program ends.
abort_run stored.exe dest3 big.bin close
expect_same stored/keep.txt dest3/keep.txt
expect_absent dest3/big.bin
expect_absent dest3/after.txt

e2e_end
