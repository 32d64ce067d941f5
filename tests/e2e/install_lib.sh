# Helpers of the installation tests (t_install_*.sh), sourced after lib.sh.


# The dialog font: MS UI Gothic is proportional, like IPA P Gothic.
use_dialog_font() {
  seed_reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' "MS UI Gothic" IPAPGothic
}

# setup.lzh in the current folder: a program (Vorn.exe) and a member large
# enough for the progress window to be caught extracting (data/large.bin).
setup_archive() {
  local list=$E2E_WORK/setup.list
  stored_member "$list" -lh0- 1 Vorn.exe 3000 random 1 1577836800
  stored_member "$list" -lh0- 1 data/large.bin 24000000 zeros 2 1577836802
  make_archive setup.lzh "$list"
}

# Hex of bytes: hex TEXT (without a zero), hexz TEXT (with one), sjis_hex
# UTF8-TEXT and sjis_hexz (the Shift-JIS bytes).
hex() { printf '%s' "$1" | xxd -p | tr -d '\n'; }
hexz() { printf '%s00' "$(hex "$1")"; }
sjis_hex() { sjis "$1" | xxd -p | tr -d '\n'; }
sjis_hexz() { printf '%s00' "$(sjis_hex "$1")"; }

# Registry checks and seeds wait in queues and are carried out together, in
# one Wine program each time (under emulation every program takes seconds to
# start): the checks when the registry is about to change (a seed, a run) or
# the test ends, the seeds when a check or a run comes. Either queue is
# emptied before the other takes an entry, so every check still sees the
# registry as it stood at its place in the test.
#
# expect_reg KEY NAME HEX: value NAME ("" for the default value) of KEY is
# REG_SZ with exactly the bytes HEX, as RegQueryValueExA reports them.
# expect_no_key KEY / expect_key KEY / expect_no_value KEY NAME
expect_reg() { reg_check value "$1" "$2" "$3"; }
expect_no_key() { reg_check nokey "$1"; }
expect_key() { reg_check key "$1"; }
expect_no_value() { reg_check novalue "$1" "$2"; }

# seed_reg KEY NAME TEXT: writes a REG_SZ value ("" = default) before the
# next run or check; delete_reg KEY removes a key with everything below it.
seed_reg() {
  run_reg_checks
  [ "$2" = "" ] && set -- "$1" @ "$3" || set -- "$1" "\"$(reg_escape "$2")\"" "$3"
  E2E_REG_SEEDS+=$(printf '[%s]\n%s="%s"' "$(reg_root "$1")" "$2" "$(reg_escape "$3")")$'\n\n'
}
# seed_dword KEY NAME N: a REG_DWORD value, as seed_reg.
seed_dword() {
  run_reg_checks
  E2E_REG_SEEDS+=$(printf '[%s]\n"%s"=dword:%08x' "$(reg_root "$1")" "$2" "$3")$'\n\n'
}
delete_reg() {
  run_reg_checks
  E2E_REG_SEEDS+="[-$(reg_root "$1")]"$'\n\n'
}

E2E_REG_CHECKS=()
E2E_REG_SEEDS=""
E2E_SEP=$'\x1f'
reg_check() {
  apply_reg_seeds
  E2E_REG_CHECKS+=("$1$E2E_SEP$2$E2E_SEP${3:-}$E2E_SEP${4:-}")
}

# A .reg file's names: full root names, \ and " escaped in strings.
reg_root() {
  printf '%s' "$1" | sed 's/^HKCR\\/HKEY_CLASSES_ROOT\\/; s/^HKCU\\/HKEY_CURRENT_USER\\/; s/^HKLM\\/HKEY_LOCAL_MACHINE\\/; s/^HKCC\\/HKEY_CURRENT_CONFIG\\/'
}
reg_escape() { printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g'; }

apply_reg_seeds() {
  [ -n "$E2E_REG_SEEDS" ] || return 0
  local file=$E2E_TMP/seeds.reg
  {
    printf '\xff\xfe'
    printf 'Windows Registry Editor Version 5.00\n\n%s' "$E2E_REG_SEEDS" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE
  } >"$file"
  E2E_REG_SEEDS=""
  wine regedit /S "$(winpath "$file")" >/dev/null 2>&1 || e2e_die "could not seed the registry from $file"
}

# One regread for every queued check; each answer ends with `query STATUS`.
run_reg_checks() {
  [ ${#E2E_REG_CHECKS[@]} -gt 0 ] || return 0
  local check kind key name want queries="" answers="" line status index=0
  for check in "${E2E_REG_CHECKS[@]}"; do
    IFS=$E2E_SEP read -r kind key name want <<<"$check"
    case $kind in
      value | novalue) queries+="$key"$'\t'"$name"$'\n' ;;
      *) queries+="$key"$'\n' ;;
    esac
  done
  answers=$(printf '%s' "$queries" | wine "$E2E_TOOLS/regread.exe" - 2>/dev/null) || true
  local lines=()
  while IFS= read -r line; do
    if [[ $line == query$'\t'* ]]; then
      status=${line#query$'\t'}
      judge_reg_check "${E2E_REG_CHECKS[$index]}" "$status" "${lines[0]:-}"
      index=$((index + 1))
      lines=()
    else
      lines+=("$line")
    fi
  done <<<"$answers"
  [ "$index" = ${#E2E_REG_CHECKS[@]} ] ||
    e2e_fail "regread answered $index of ${#E2E_REG_CHECKS[@]} registry checks"
  E2E_REG_CHECKS=()
}

# judge_reg_check CHECK STATUS FIRST-LINE
judge_reg_check() {
  local kind key name want type count bytes
  IFS=$E2E_SEP read -r kind key name want <<<"$1"
  case $kind in
    key) [ "$2" = 0 ] || e2e_fail "key missing: $key" ;;
    nokey) [ "$2" != 0 ] || e2e_fail "key should not exist: $key" ;;
    novalue) [ "$2" != 0 ] || e2e_fail "value \"$name\" should not exist in $key" ;;
    value)
      if [ "$2" != 0 ]; then
        e2e_fail "no value \"$name\" in $key"
        return 0
      fi
      type=$(printf '%s' "$3" | cut -f3)
      count=$(printf '%s' "$3" | cut -f4)
      bytes=$(printf '%s' "$3" | cut -f5)
      [ "$type" = REG_SZ ] || e2e_fail "$key \"$name\" has type $type"
      [ "$count" = $((${#want} / 2)) ] || e2e_fail "$key \"$name\" has $count bytes, expected $((${#want} / 2))"
      [ "$bytes" = "$want" ] || e2e_fail "$key \"$name\" holds $bytes, expected $want"
      ;;
  esac
}

# Before a run and at the end of the test: what is queued is carried out.
e2e_settle() {
  run_reg_checks
  apply_reg_seeds
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
