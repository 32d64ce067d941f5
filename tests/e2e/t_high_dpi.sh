#!/bin/bash
# The installer on a screen of 96 and of 144 DPI (the prefix's LogPixels):
# the options dialog and the progress window (held during a large member)
# are each at least 1.4 times as wide and as tall at 144 DPI, and no text is
# cut off more at 144 DPI than at 96. Each child's text is measured by
# winprobe in the font the window gives it; the room is the child's size
# less what its kind draws beside the text. The check is shown to see a cut
# text: the 144-DPI texts in the 96-DPI places are cut off. (The substitute
# of MS UI Gothic is wider than it, so two labels of the dialog are cut off
# at every DPI; they must be cut no more at 144.) A screenshot of the dialog
# at 144 DPI goes to build/screenshots/.
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
# text (13 + 4 pixels at 96 DPI), a push button its edges around it (3 on
# either side, 2 above and below); an edit box scrolls its text and is left
# out.
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
        if ((kind == 2 || kind == 3) && int(style / 4096) % 2 == 0) w -= int(17 * dpi / 96)
        else { w -= int(6 * dpi / 96); h -= int(4 * dpi / 96) }
      }
      print w, h, e[1], e[2]
    }' "$2"
}

# more_cut BASE OTHER: the children whose text OTHER shows less of than
# BASE does (BASE and OTHER as printed by texts, child by child): a text
# whole in BASE must be whole in OTHER, a cut one must show no less of
# itself (a tenth either way for rounding).
more_cut() {
  paste -d ' ' "$1" "$2" | awk '
    function shown(room, extent) { return extent <= room ? 1 : room / extent }
    {
      bw = shown($1, $3); bh = shown($2, $4); ow = shown($5, $7); oh = shown($6, $8)
      whole = bw == 1 && bh == 1
      if (whole ? (ow < 1 || oh < 1) : (ow < bw - 0.1 || oh < bh - 0.1)) print "child " NR ": " $0
    }'
}

look_at 96
look_at 144

for kind in dialog window; do
  read -r w96 h96 < <(window_size "$kind.96")
  read -r w144 h144 < <(window_size "$kind.144")
  [ "${w96:-0}" -gt 0 ] && [ $((w144 * 10)) -ge $((w96 * 14)) ] && [ $((h144 * 10)) -ge $((h96 * 14)) ] ||
    e2e_fail "the $kind is ${w144}x$h144 at 144 DPI, ${w96}x$h96 at 96"
  texts 96 "$kind.96" >"$kind.texts96"
  texts 144 "$kind.144" >"$kind.texts144"
  [ "$(wc -l <"$kind.texts96")" -ge 2 ] && [ "$(wc -l <"$kind.texts96")" = "$(wc -l <"$kind.texts144")" ] ||
    e2e_die "the $kind's texts were not all measured: $(wc -l <"$kind.texts96") at 96 DPI, $(wc -l <"$kind.texts144") at 144"
  cut=$(more_cut "$kind.texts96" "$kind.texts144")
  [ -z "$cut" ] || e2e_fail "the $kind cuts off more text at 144 DPI than at 96 (room w h, extent w h):"$'\n'"$cut"
  # The control: the 144-DPI texts in the rooms of 96 DPI.
  paste -d ' ' <(cut -d ' ' -f 1,2 "$kind.texts96") <(cut -d ' ' -f 3,4 "$kind.texts144") >"$kind.control"
  [ -n "$(more_cut "$kind.texts96" "$kind.control")" ] ||
    e2e_fail "the $kind's texts at 144 DPI fit its 96-DPI places, so the check could not see a cut text"
done

e2e_end
