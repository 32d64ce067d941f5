# Shared harness of the end-to-end tests: the real stub under Wine on a
# virtual X display. Sourced by every tests/e2e/t_*.sh; see README.md.
#
# A test script looks like:
#   . "$(dirname "$0")/lib.sh"
#   e2e_begin "what it checks"
#   ... build fixtures in $E2E_WORK, run_installer, check ...
#   e2e_end
# Every helper that checks something calls e2e_fail on a mismatch; the test
# goes on and e2e_end reports PASS or FAIL (exit code 0 or 1).

set -eu

E2E_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_DIR=$E2E_REPO/tests/e2e
E2E_STUB=${VORN_STUB:-$E2E_REPO/build/win32/vornsfx.exe}
E2E_MKSFX=$E2E_REPO/build/native/mksfx
E2E_TOOLS=$E2E_REPO/build/win32/e2e
E2E_CORPUS=$E2E_REPO/build/native/corpus
E2E_LZHGEN=$E2E_REPO/tests/tools/lzhgen/lzhgen
E2E_LZHMAKE="python3 $E2E_DIR/lzhmake.py"
# Seconds any single stub run may take before it counts as hung.
E2E_RUN_TIMEOUT=${VORN_E2E_RUN_TIMEOUT:-60}
# Under full-system emulation programs start 10 to 15 times slower than on
# the host: every time limit of the harness (a run's, a wait for a window or
# a box) is multiplied by this factor, which the emulated guest sets. Every
# limit goes through `stretched`, every wait for a state through
# `wait_until`.
E2E_SLOWDOWN=${VORN_E2E_SLOWDOWN:-1}

# stretched N: the time limit N (in any unit) as it stands on this machine.
stretched() { printf '%s' $(($1 * E2E_SLOWDOWN)); }

# wait_until SECONDS COMMAND...: runs COMMAND every tenth of a second until
# it succeeds (status 0), or until SECONDS stretched have passed (status 1).
wait_until() {
  local deadline=$(($(date +%s%N) + $(stretched "$1") * 1000000000))
  shift
  until "$@"; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

E2E_FAILURES=0
E2E_NAME=$(basename "$0" .sh)

e2e_log() { printf '%s: %s\n' "$E2E_NAME" "$*" >&2; }

e2e_fail() {
  E2E_FAILURES=$((E2E_FAILURES + 1))
  printf '%s: FAIL: %s\n' "$E2E_NAME" "$*" >&2
}

e2e_die() {
  printf '%s: ERROR: %s\n' "$E2E_NAME" "$*" >&2
  exit 2
}

# --- Environment -----------------------------------------------------------

# Everything Wine needs: Japanese code page 932, no debug output, no
# Mono/Gecko prompts, no desktop-menu entries, a home folder of our own and
# UTC, so that DOS times in archives mean the same everywhere.
e2e_wine_env() {
  export WINEPREFIX=$1
  export HOME=$2
  unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE 2>/dev/null || true
  export LANG=ja_JP.UTF-8
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
  export TZ=UTC
  unset WINEARCH WINESERVER WINELOADER 2>/dev/null || true
}

# Creates a Wine prefix at $1 (home folder $2): boots it under the Japanese
# locale and maps the Windows UI fonts to the IPA Gothic font.
e2e_make_prefix() {
  local prefix=$1 home=$2
  mkdir -p "$home"
  (
    e2e_wine_env "$prefix" "$home"
    export DISPLAY=
    wineboot -i >/dev/null 2>&1
    # The UI fonts become IPA Gothic (the proportional cut for the
    # proportional Windows faces); and as no window manager runs on the
    # virtual display, Wine draws the frames and captions itself.
    local font
    {
      printf '\xff\xfe'
      {
        echo 'Windows Registry Editor Version 5.00'
        echo
        echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]'
        for font in "MS Gothic" "ＭＳ ゴシック"; do
          echo "\"$font\"=\"IPAGothic\""
        done
        for font in "MS UI Gothic" "MS Shell Dlg" "MS PGothic" "ＭＳ Ｐゴシック" Tahoma; do
          echo "\"$font\"=\"IPAPGothic\""
        done
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
        echo '"Managed"="N"'
      } | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE
    } >"$home/settings.reg"
    wine regedit /S "$(winpath "$home/settings.reg")" >/dev/null 2>&1
    wineserver -w
  )
  [ -f "$prefix/system.reg" ] || e2e_die "could not create a Wine prefix at $prefix"
}

# A test's own prefix: a copy of the run's template with hard links (the
# registry files are real copies), so that each test starts from a fresh
# registry in a fraction of a second. Shell folders that Wine linked to the
# template's home become real folders inside the prefix.
e2e_clone_prefix() {
  local template=$1 prefix=$2
  cp -a --link "$template" "$prefix"
  rm -f "$prefix"/*.reg
  cp "$template"/*.reg "$prefix"/
  local link
  for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
      rm "$link"
      mkdir "$link"
    fi
  done
}

e2e_start_display() {
  E2E_DISPLAY_FILE=$E2E_TMP/display
  : >"$E2E_DISPLAY_FILE"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$E2E_DISPLAY_FILE" >/dev/null 2>&1 &
  E2E_XVFB_PID=$!
  wait_until 10 display_up || e2e_die "Xvfb gave no display number"
  export DISPLAY=":$(head -n 1 "$E2E_DISPLAY_FILE")"
}

display_up() {
  [ -s "$E2E_DISPLAY_FILE" ] && return 0
  kill -0 "$E2E_XVFB_PID" 2>/dev/null || e2e_die "Xvfb did not start"
  return 1
}

e2e_cleanup() {
  if [ -n "${E2E_XEV_PID:-}" ]; then kill "$E2E_XEV_PID" 2>/dev/null || true; fi
  if [ -n "${E2E_FILES_PID:-}" ]; then kill "$E2E_FILES_PID" 2>/dev/null || true; fi
  if [ -n "${WINEPREFIX:-}" ] && [ -d "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "${E2E_XVFB_PID:-}" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
  fi
  if [ "${VORN_E2E_KEEP:-0}" = 1 ]; then
    e2e_log "kept $E2E_TMP"
  else
    rm -rf "$E2E_TMP"
  fi
}

# Starts a test: a temporary folder, a display, a prefix (cloned from
# $VORN_E2E_TEMPLATE when run-all.sh made one, otherwise made here) and a
# wineserver that stays up for the whole test.
e2e_begin() {
  E2E_TITLE=$1
  local tool
  for tool in "$E2E_STUB" "$E2E_MKSFX" "$E2E_TOOLS/launch.exe" "$E2E_TOOLS/winprobe.exe"; do
    [ -f "$tool" ] || e2e_die "$tool is missing; run 'make all' first"
  done
  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vorn-e2e.XXXXXX")
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  E2E_WORK=$E2E_TMP/work
  mkdir -p "$E2E_WORK"
  e2e_start_display
  local template=${VORN_E2E_TEMPLATE:-}
  if [ -z "$template" ]; then
    template=$E2E_TMP/template
    e2e_make_prefix "$template" "$E2E_TMP/template-home"
  fi
  e2e_clone_prefix "$template" "$E2E_TMP/prefix"
  mkdir -p "$E2E_TMP/home"
  e2e_wine_env "$E2E_TMP/prefix" "$E2E_TMP/home"
  wineserver -p
  E2E_STARTED=$(date +%s%N)
  e2e_log "$E2E_TITLE"
}

# e2e_settle: carries out what a test's helpers hold back until the test
# next runs something or ends (install_lib.sh queues registry work).
e2e_settle() { :; }

e2e_end() {
  e2e_settle
  local tenths=$((($(date +%s%N) - E2E_STARTED) / 100000000))
  local seconds="$((tenths / 10)).$((tenths % 10))"
  if [ "$E2E_FAILURES" = 0 ]; then
    printf '%s: PASS (%ss)\n' "$E2E_NAME" "$seconds"
    exit 0
  fi
  printf '%s: FAIL, %d problem(s) (%ss)\n' "$E2E_NAME" "$E2E_FAILURES" "$seconds"
  exit 1
}

# --- Paths -----------------------------------------------------------------

# The Windows form of an absolute Linux path: drive C: inside the prefix's
# drive_c, drive Z: (the Linux root) elsewhere.
winpath() {
  case "$1" in
    "$WINEPREFIX"/drive_c/*) printf 'C:/%s' "${1#"$WINEPREFIX"/drive_c/}" | tr '/' '\\' ;;
    *) printf 'Z:%s' "$1" | tr '/' '\\' ;;
  esac
}

# The Linux folder of a path on drive C: of the test's prefix.
cpath() {
  printf '%s/drive_c/%s' "$WINEPREFIX" "$(printf '%s' "$1" | sed 's/^[Cc]:\\//' | tr '\\' '/')"
}

# --- Fixtures ----------------------------------------------------------------

# make_data FILE SIZE KIND SEED: reproducible test data (random, text, zeros).
make_data() { $E2E_LZHMAKE data "$@"; }

# make_archive OUT.lzh LIST: see lzhmake.py for the list format.
make_archive() { $E2E_LZHMAKE build "$@"; }

# jlha_archive OUT.lzh LIST: compressed members written by jLHA
# (tests/tools/lzhgen; list: method level name source mtime, tab-separated).
jlha_archive() {
  [ -x "$E2E_LZHGEN" ] || e2e_die "tests/tools/lzhgen is missing"
  TMPDIR=${VORN_E2E_CACHE:-$E2E_TMP} "$E2E_LZHGEN" "$@" || e2e_die "lzhgen failed for $2"
}

# Shift-JIS bytes of a UTF-8 text, for the texts that mksfx takes as bytes.
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

# Members with known contents. Each call makes the member's data as
# $E2E_EXPECTED/NAME (the file the stub must write there), adds a line to
# LIST and notes NAME and MTIME in $E2E_EXPECTED.times for expect_times.
#   stored_member LIST METHOD LEVEL NAME SIZE KIND SEED MTIME [OPTION...]
#       a line for make_archive (METHOD -lh0- or -lz4-; OPTION: badcrc ...)
#   packed_member LIST METHOD LEVEL NAME SIZE KIND SEED MTIME
#       a line for jlha_archive (METHOD -lh4- ... -lh7-)
# KIND is random, text or zeros (see make_data).
E2E_EXPECTED_DEFAULT=expected
member_data() {
  local name=$1 size=$2 kind=$3 seed=$4 mtime=$5
  local expected=${E2E_EXPECTED:-$E2E_WORK/$E2E_EXPECTED_DEFAULT}
  mkdir -p "$(dirname "$expected/$name")"
  make_data "$expected/$name" "$size" "$kind" "$seed"
  printf '%s\t%s\n' "$mtime" "$name" >>"$expected.times"
  printf '%s' "$expected/$name"
}

stored_member() {
  local list=$1 method=$2 level=$3 name=$4 size=$5 kind=$6 seed=$7 mtime=$8
  shift 8
  local file options=""
  file=$(member_data "$name" "$size" "$kind" "$seed" "$mtime")
  [ $# -gt 0 ] && options=$(printf '\t%s' "$@")
  printf 'member\t%s\t%s\t%s\t%s\t%s%s\n' "$method" "$level" "$name" "$file" "$mtime" "$options" >>"$list"
}

packed_member() {
  local list=$1 method=$2 level=$3 name=$4 size=$5 kind=$6 seed=$7 mtime=$8
  local file
  file=$(member_data "$name" "$size" "$kind" "$seed" "$mtime")
  printf '%s\t%s\t%s\t%s\t%s\n' "$method" "$level" "$name" "$file" "$mtime" >>"$list"
}

# expect_times DEST [EXPECTED]: every member noted by stored_member and
# packed_member that exists under DEST has its member's time.
expect_times() {
  local dest=$1 expected=${2:-${E2E_EXPECTED:-$E2E_WORK/$E2E_EXPECTED_DEFAULT}}
  local mtime name
  while IFS="$(printf '\t')" read -r mtime name; do
    expect_mtime "$dest/$name" "$mtime"
  done <"$expected.times"
}

# build_installer ARCHIVE OUT.exe [mksfx options]: stub + block + archive.
build_installer() {
  local archive=$1 out=$2
  shift 2
  "$E2E_MKSFX" --stub "$E2E_STUB" "$@" "$archive" "$out" >/dev/null ||
    e2e_die "mksfx failed for $out"
}

# --- Running the stub ---------------------------------------------------------

# The wine programs of the harness; their output is UTF-8. A winprobe
# --timeout (10 s when none is given) is stretched.
probe() {
  local args=() limit=10000
  while [ $# -gt 0 ]; do
    if [ "$1" = --timeout ]; then
      limit=$2
      shift
    else
      args+=("$1")
    fi
    shift
  done
  wine "$E2E_TOOLS/winprobe.exe" "${args[@]}" --timeout "$(stretched "$limit")" 2>/dev/null
}
regread() { wine "$E2E_TOOLS/regread.exe" "$@" 2>/dev/null; }
lnkread() { wine "$E2E_TOOLS/lnkread.exe" "$@" 2>/dev/null; }

# start_installer CWD COMMANDLINE: starts the exact Windows command line
# COMMANDLINE (e.g. '"Z:\x\setup.exe" "C:\dest" /m') in the Linux folder
# CWD, in the background, through the launcher. E2E_RUN_PID is the launcher.
start_installer() {
  e2e_settle
  local cwd line=$2
  cwd=$(cd "$1" && pwd)
  E2E_RUN_LINE=$line
  # The window opens below the mouse pointer: put it back in the middle, so
  # that earlier clicks never push a window off the screen.
  [ "${E2E_KEEP_POINTER:-0}" = 1 ] || xdotool mousemove 512 384 2>/dev/null || true
  E2E_RUN_LOG=$E2E_TMP/run.log
  (cd "$cwd" && VORN_COMMAND_LINE=$line VORN_WORKING_DIR=$(winpath "$cwd") exec wine "$E2E_TOOLS/launch.exe") \
    >"$E2E_RUN_LOG" 2>&1 &
  E2E_RUN_PID=$!
}

# wait_installer [SECONDS]: waits for the run started by start_installer and
# sets E2E_EXIT to its exit code (124 when it had to be killed after the
# time limit, stretched; every Wine process of the prefix is then ended).
wait_installer() {
  local limit=${1:-$E2E_RUN_TIMEOUT}
  if ! wait_until "$limit" run_ended; then
    e2e_log "run still going after $(stretched "$limit")s; ending every process of the prefix"
    probe dump >&2 || true
    wineserver -k >/dev/null 2>&1 || true
    wait "$E2E_RUN_PID" 2>/dev/null || true
    wineserver -p
    E2E_EXIT=124
    return 0
  fi
  E2E_EXIT=0
  wait "$E2E_RUN_PID" || E2E_EXIT=$?
  # The harness's own check: the program got exactly the command line meant.
  if [ "$(sed -n 's/^launch: running //p' "$E2E_RUN_LOG")" != "$E2E_RUN_LINE" ]; then
    e2e_fail "the launcher ran $(sed -n 's/^launch: running //p' "$E2E_RUN_LOG"), not $E2E_RUN_LINE"
  fi
}

run_ended() { ! kill -0 "$E2E_RUN_PID" 2>/dev/null; }

# run_installer CWD COMMANDLINE [SECONDS]: start_installer and wait_installer.
run_installer() {
  start_installer "$1" "$2"
  wait_installer "${3:-$E2E_RUN_TIMEOUT}"
}

# expect_exit CODE: the last run ended with exit code CODE.
expect_exit() {
  if [ "$E2E_EXIT" != "$1" ]; then
    e2e_fail "exit code $E2E_EXIT, expected $1 (launcher: $(tr '\n' ' ' <"$E2E_RUN_LOG"))"
  fi
}

# --- Windows and message boxes -------------------------------------------------

# A field of the first line of winprobe output that matches a pattern:
# probe_field OUTPUT LINE-PATTERN FIELD  (e.g. "id=1017" "center").
probe_field() {
  printf '%s\n' "$1" | grep -E -- "$2" | head -n 1 | tr ' ' '\n' | sed -n "s/^$3=//p" | head -n 1
}

# The text of the first line of winprobe output that matches a pattern.
probe_text() {
  printf '%s\n' "$1" | grep -E -- "$2" | head -n 1 | sed -n 's/.* \(text\|title\)=//p'
}

# click X,Y: a left click at screen position X,Y.
click() {
  xdotool mousemove "${1%,*}" "${1#*,}" click 1
}

# press_box [SECONDS]: waits for a message box, puts its text into
# E2E_BOX_TEXT and its caption into E2E_BOX_CAPTION, presses its first button
# with the mouse and waits until it is gone. Returns 1 when no box came.
press_box() {
  local limit=${1:-20} box center
  E2E_BOX_TEXT="" E2E_BOX_CAPTION=""
  box=$(probe wait --class '#32770' --timeout $((limit * 1000))) || return 1
  if [ -n "${E2E_BOX_SHOT:-}" ]; then
    screenshot "$E2E_BOX_SHOT" "$(probe_field "$box" '^window ' rect)"
  fi
  E2E_BOX_TEXT=$(probe_text "$box" '^child .*class=Static .*text=.')
  E2E_BOX_CAPTION=$(probe_text "$box" '^window ')
  center=$(probe_field "$box" '^child .*class=Button' center)
  click "$center"
  if ! probe wait --class '#32770' --gone --timeout 5000 >/dev/null; then
    e2e_log "the box did not close on a click; pressing it from inside"
    probe press 1 --class '#32770' >/dev/null || true
    probe press 2 --class '#32770' >/dev/null || true
    probe wait --class '#32770' --gone --timeout 5000 >/dev/null || return 1
  fi
  return 0
}

# The box of an installer whose archive is broken (a download cut short).
E2E_INCOMPLETE="ファイルが不完全です。再ダウンロードしてください。"

# expect_box TEXT [CAPTION]: a message box with exactly TEXT comes up during
# the current run; it is pressed away.
expect_box() {
  if ! press_box; then
    e2e_fail "no message box appeared (expected \"$1\")"
    return 0
  fi
  e2e_log "message box: \"$E2E_BOX_TEXT\" (caption \"$E2E_BOX_CAPTION\")"
  [ "$E2E_BOX_TEXT" = "$1" ] || e2e_fail "message box says \"$E2E_BOX_TEXT\", expected \"$1\""
  if [ $# -ge 2 ] && [ "$E2E_BOX_CAPTION" != "$2" ]; then
    e2e_fail "message box caption \"$E2E_BOX_CAPTION\", expected \"$2\""
  fi
}

# watch_windows / windows_seen: records every top-level window that is
# mapped on the display between the two calls; windows_seen prints their
# count.
watch_windows() {
  E2E_XEV_LOG=$E2E_TMP/xev.log
  xev -root -event substructure -event property >"$E2E_XEV_LOG" 2>/dev/null &
  E2E_XEV_PID=$!
  # xev selects its events right after connecting; a property change on the
  # root window shows when it has.
  wait_until 5 xev_watching || e2e_die "xev did not start watching the display"
}

xev_watching() {
  xprop -root -f _VORN_E2E_MARK 8s -set _VORN_E2E_MARK 1 2>/dev/null || true
  grep -q _VORN_E2E_MARK "$E2E_XEV_LOG"
}

windows_seen() {
  kill "$E2E_XEV_PID" 2>/dev/null || true
  wait "$E2E_XEV_PID" 2>/dev/null || true
  grep -c '^MapNotify' "$E2E_XEV_LOG" || true
}

# watch_files DIR... / files_made: records every file made in those folders
# between the two calls (inotify: in the order they were made, whatever the
# resolution of file times); files_made prints their paths, one a line.
watch_files() {
  E2E_FILES_LOG=$E2E_TMP/files.log
  E2E_FILES_MARK=$1/.vorn-e2e-mark
  python3 - "$@" >"$E2E_FILES_LOG" <<'PY' &
import ctypes, os, struct, sys
libc = ctypes.CDLL(None, use_errno=True)
watcher = libc.inotify_init()
folders = {}
for folder in sys.argv[1:]:
    number = libc.inotify_add_watch(watcher, folder.encode(), 0x100 | 0x80)  # made, moved in
    if number < 0:
        sys.exit("cannot watch " + folder)
    folders[number] = folder
print("watching", flush=True)
while True:
    events = os.read(watcher, 65536)
    at = 0
    while at < len(events):
        number, _, _, length = struct.unpack_from("iIII", events, at)
        name = events[at + 16:at + 16 + length].rstrip(b"\0").decode(errors="replace")
        print(folders[number] + "/" + name, flush=True)
        at += 16 + length
PY
  E2E_FILES_PID=$!
  wait_until 10 grep -qx watching "$E2E_FILES_LOG" || e2e_die "could not watch the folders $*"
}

# A file made after the run shows that every earlier one has been recorded.
files_made() {
  touch "$E2E_FILES_MARK"
  wait_until 10 grep -qxF "$E2E_FILES_MARK" "$E2E_FILES_LOG" || e2e_fail "the watch of the folders fell behind"
  kill "$E2E_FILES_PID" 2>/dev/null || true
  wait "$E2E_FILES_PID" 2>/dev/null || true
  rm -f "$E2E_FILES_MARK"
  sed '1d' "$E2E_FILES_LOG" | grep -vxF "$E2E_FILES_MARK" || true
}

# screenshot FILE [L,T,R,B]: the display, or that part of it.
screenshot() {
  if [ $# -ge 2 ]; then
    local l t r b
    IFS=, read -r l t r b <<EOF
$2
EOF
    import -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage "$1"
  else
    import -window root "$1"
  fi
}

# --- Checking files -------------------------------------------------------------

# expect_same EXPECTED ACTUAL: ACTUAL is a file with exactly EXPECTED's bytes.
expect_same() {
  if [ ! -f "$2" ]; then
    e2e_fail "missing: $2"
  elif ! cmp -s "$1" "$2"; then
    e2e_fail "wrong bytes: $2 (expected those of $1)"
  fi
}

# expect_mtime FILE SECONDS: the file's modification time.
expect_mtime() {
  [ -e "$1" ] || return 0
  local actual
  actual=$(stat -c %Y "$1")
  [ "$actual" = "$2" ] || e2e_fail "modification time of $1 is $actual, expected $2"
}

expect_absent() {
  [ ! -e "$1" ] || e2e_fail "should not exist: $1"
}

# expect_empty DIR WHAT: the folder DIR holds nothing (WHAT names the case).
expect_empty() {
  [ -z "$(ls -A "$1")" ] || e2e_fail "$2: wrote $(cd "$1" && find . -mindepth 1 | tr '\n' ' ')"
}

# expect_tree EXPECTED ACTUAL: the two folders hold the same files (names and
# bytes), no more, no fewer.
expect_tree() {
  local listing
  listing=$(diff <(cd "$1" && find . -mindepth 1 | LC_ALL=C sort) <(cd "$2" && find . -mindepth 1 | LC_ALL=C sort)) ||
    e2e_fail "folder $2 differs from $1 in its entries: $(printf '%s' "$listing" | tr '\n' ' ')"
  diff -r "$1" "$2" >/dev/null 2>&1 || e2e_fail "folder $2 differs from $1 in its contents"
}
