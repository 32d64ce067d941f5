# Helpers of the installation tests (t_install_*.sh), sourced after lib.sh.


# The dialog font: MS UI Gothic is proportional, like IPA P Gothic.
use_dialog_font() {
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v "MS UI Gothic" /d IPAPGothic /f >/dev/null 2>&1
}

# Hex of bytes: hex TEXT (without a zero), hexz TEXT (with one), sjis_hex
# UTF8-TEXT and sjis_hexz (the Shift-JIS bytes).
hex() { printf '%s' "$1" | xxd -p | tr -d '\n'; }
hexz() { printf '%s00' "$(hex "$1")"; }
sjis_hex() { sjis "$1" | xxd -p | tr -d '\n'; }
sjis_hexz() { printf '%s00' "$(sjis_hex "$1")"; }

# expect_reg KEY NAME HEX: value NAME ("" for the default value) of KEY is
# REG_SZ with exactly the bytes HEX, as RegQueryValueExA reports them.
expect_reg() {
  local key=$1 name=$2 want=$3 line type count bytes
  if ! line=$(regread "$key" "$name"); then
    e2e_fail "no value \"$name\" in $key"
    return 0
  fi
  type=$(printf '%s' "$line" | cut -f3)
  count=$(printf '%s' "$line" | cut -f4)
  bytes=$(printf '%s' "$line" | cut -f5)
  [ "$type" = REG_SZ ] || e2e_fail "$key \"$name\" has type $type"
  [ "$count" = $((${#want} / 2)) ] || e2e_fail "$key \"$name\" has $count bytes, expected $((${#want} / 2))"
  [ "$bytes" = "$want" ] || e2e_fail "$key \"$name\" holds $bytes, expected $want"
}

# expect_no_key KEY / expect_key KEY / expect_no_value KEY NAME
expect_no_key() { ! regread "$1" >/dev/null || e2e_fail "key should not exist: $1"; }
expect_key() { regread "$1" >/dev/null || e2e_fail "key missing: $1"; }
expect_no_value() {
  local status=0
  regread "$1" "$2" >/dev/null || status=$?
  [ "$status" != 0 ] || e2e_fail "value \"$2\" should not exist in $1"
}

# seed_reg KEY NAME TEXT: writes a REG_SZ value before a run ("" = default).
seed_reg() {
  if [ -z "$2" ]; then
    wine reg add "$1" /ve /d "$3" /f >/dev/null 2>&1 || e2e_die "could not seed $1"
  else
    wine reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1 || e2e_die "could not seed $1 $2"
  fi
}

# The Linux paths of the user's Start-menu programs, desktop and Send To
# folders in the test's prefix.
shell_folder() {
  local user
  user=$(ls "$WINEPREFIX/drive_c/users" | grep -v -x Public | head -n 1)
  case "$1" in
    programs) printf '%s' "$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs" ;;
    desktop) printf '%s' "$WINEPREFIX/drive_c/users/$user/Desktop" ;;
    sendto) printf '%s' "$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/SendTo" ;;
  esac
}

# build_probe OUT.exe: the post-install probe (install_probe.c).
build_probe() {
  i686-w64-mingw32-gcc -O2 -s -mwindows -o "$1" "$E2E_DIR/install_probe.c" -lshell32 -ladvapi32 ||
    e2e_die "could not build the install probe"
}

# box_state OUTPUT ID: the check state (BM_GETSTATE & 3) of button ID in
# winprobe output.
box_state() {
  local state
  state=$(probe_field "$1" "^child .* id=$2 " state)
  printf '%s' $((${state:-0} & 3))
}

# The screenshots of the dialog and the progress window for the README.
SCREENSHOTS=$E2E_REPO/build/screenshots

# padded LINE: LINE followed by one blank per double-byte character in it.
# Wine's GetEnvironmentVariableA, through which the launcher reads the
# command line, drops as many bytes from the end as the text has
# double-byte characters; the blanks are what gets dropped.
padded() {
  local bytes chars
  bytes=$(sjis "$1" | wc -c)
  chars=$(printf '%s' "$1" | LC_ALL=C.UTF-8 wc -m)
  printf '%s%*s' "$1" $((bytes - chars)) ''
}
