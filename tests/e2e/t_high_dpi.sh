#!/bin/bash
# The installer on a screen of 96 and of 144 DPI (the prefix's LogPixels):
# the options dialog and the progress window (held during a large member)
# are each at least 1.4 times as wide and as tall at 144 DPI, and no text is
# cut off at either. Each child's text is measured by winprobe in the font
# the window gives it; the room is the child's size less what its kind
# draws beside the text. The check is shown to see a cut text: the 144-DPI
# texts in the 96-DPI places are cut off. A screenshot of the dialog at 144
# DPI goes to build/screenshots/.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/install_lib.sh"
e2e_begin "high DPI: both windows laid out for the screen's DPI"

cd "$E2E_WORK"
use_dialog_font
setup_archive
title="Vorn DPI"
build_installer setup.lzh setup.exe --title "$title" --destination 'C:\Vorn' --program Vorn.exe \
  --start-menu 1 --shortcut-name Vorn
mkdir -p "$SCREENSHOTS"

# look_at DPI: the dialog and the progress window of a run at DPI, into
# dialog.DPI and window.DPI (winprobe's view with the texts measured).
look_at() {
  local dpi=$1 dialog freezer
  seed_dword 'HKCU\Control Panel\Desktop' LogPixels "$dpi"
  seed_dword 'HKCC\Software\Fonts' LogPixels "$dpi"
  start_installer "$E2E_WORK" "\"$(winpath "$E2E_WORK/setup.exe")\""
  dialog=$(probe wait --class '#32770' --title "$title" --font "MS UI Gothic,9" --timeout 30000) ||
    e2e_die "no options dialog at $dpi DPI"
  printf '%s\n' "$dialog" >"dialog.$dpi"
  [ "$dpi" = 96 ] || screenshot "$SCREENSHOTS/options-dialog-${dpi}dpi.png" "$(probe_field "$dialog" '^window ' rect)"
  probe freeze --class VORNSFXCLASS --label data/large.bin --progress-min 20 --anywhere --font gui \
    --timeout 30000 >"window.$dpi" &
  freezer=$!
  wait_until 30 grep -q '^watching' "window.$dpi" || e2e_fail "winprobe did not begin to watch"
  probe press 1 --class '#32770' --title "$title" >/dev/null || e2e_fail "OK could not be pressed at $dpi DPI"
  if wait "$freezer"; then
    probe thaw --class VORNSFXCLASS >/dev/null || true
  else
    e2e_fail "the progress window was not seen extracting at $dpi DPI"
  fi
  wait_installer
  expect_exit 0
}

# window_size FILE: the window's width and height.
window_size() {
  grep '^window ' "$1" | tr ' ' '\n' | sed -n 's/^rect=//p' | awk -F, '{ print $3 - $1, $4 - $2 }'
}

# texts DPI FILE: one line per child with a text: its room (width, height)
# and its text's extent. A check box draws its box and a gap before the
# text (13 + 2 pixels at 96 DPI), a push button its edges around it (2 on
# every side); an edit box scrolls its text and is left out.
texts() {
  awk -v dpi="$1" '
    function hex(text,  n, i) {
      n = 0
      for (i = 3; i <= length(text); ++i) n = n * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
      return n
    }
    /^child / && / extent=/ && !/class=Edit / {
      for (i = 1; i <= NF && $i !~ /^text=/; ++i) { eq = index($i, "="); f[substr($i, 1, eq - 1)] = substr($i, eq + 1) }
      split(f["rect"], r, ","); split(f["extent"], e, ",")
      w = r[3] - r[1]; h = r[4] - r[2]
      if (f["class"] == "Button") {
        style = hex(f["style"])
        kind = style % 16
        if ((kind == 2 || kind == 3) && int(style / 4096) % 2 == 0) w -= int(15 * dpi / 96)
        else { w -= int(4 * dpi / 96); h -= int(4 * dpi / 96) }
      }
      print w, h, e[1], e[2]
    }' "$2"
}

# cut_texts TEXTS: the children whose text is larger than its room.
cut_texts() {
  awk '$3 > $1 || $4 > $2 { print "child " NR ": room " $1 "x" $2 ", text " $3 "x" $4 }' "$1"
}

look_at 96
look_at 144

for kind in dialog window; do
  read -r w96 h96 < <(window_size "$kind.96")
  read -r w144 h144 < <(window_size "$kind.144")
  e2e_log "the $kind: ${w96}x$h96 at 96 DPI, ${w144}x$h144 at 144"
  [ "${w96:-0}" -gt 0 ] && [ $((w144 * 10)) -ge $((w96 * 14)) ] && [ $((h144 * 10)) -ge $((h96 * 14)) ] ||
    e2e_fail "the $kind is ${w144}x$h144 at 144 DPI, ${w96}x$h96 at 96"
  for dpi in 96 144; do
    texts $dpi "$kind.$dpi" >"$kind.texts$dpi"
    [ "$(wc -l <"$kind.texts$dpi")" -ge 2 ] || e2e_die "the $kind's texts were not measured at $dpi DPI"
    [ -z "$(cut_texts "$kind.texts$dpi")" ] ||
      e2e_fail "the $kind cuts off text at $dpi DPI:"$'\n'"$(cut_texts "$kind.texts$dpi")"
  done
  # The control: the 144-DPI texts in the rooms of 96 DPI.
  paste -d ' ' <(awk '{ print $1, $2 }' "$kind.texts96") <(awk '{ print $3, $4 }' "$kind.texts144") >"$kind.control"
  [ -n "$(cut_texts "$kind.control")" ] ||
    e2e_fail "the $kind's texts at 144 DPI fit its 96-DPI places, so the check could not see a cut text"
done

e2e_end
