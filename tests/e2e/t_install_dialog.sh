#!/bin/bash
# The options dialog on a virtual display, driven with the mouse and keys:
#  1. OK with the choices the configuration block presets: the boxes show
#     them (a shortcut chosen but not offered is checked and cannot be
#     changed, the view box is greyed), the installation follows them.
#     Screenshots of the dialog and of the progress window go to
#     build/screenshots/.
#  2. Cancel: nothing is extracted or registered, no progress window, exit 1.
#  3. The association buttons make the view box usable and clear it again;
#     OK registers the chosen type with the View verb.
#  4. Types already associated show pressed and cannot be released, as does
#     an installed shell extension; a destination typed three levels deep is
#     created.
#  5. A destination on a drive that does not exist: the warning, then the
#     program ends without extracting.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/install_lib.sh"
e2e_begin "options dialog"

cd "$E2E_WORK"
use_dialog_font
setup_archive
title="Vorn テスト インストーラ"
make_setup() {  # make_setup OUT.exe DESTINATION
  build_installer setup.lzh "$1" --title "$(sjis "$title")" --destination "$2" --program Vorn.exe \
    --start-menu 3 --desktop 1 --send-to 2 --shortcut-name Vorn
}
make_setup setup.exe 'C:\Program Files\Vorn'
make_setup cancel.exe 'C:\Cancelled'
output='HKCU\Software\Tenbrel\Vorn\Output'
mkdir -p "$SCREENSHOTS"

# open_dialog INSTALLER: starts it and waits for the dialog (DIALOG holds
# what winprobe saw).
open_dialog() {
  start_installer "$E2E_WORK" "\"$(winpath "$E2E_WORK/$1")\""
  DIALOG=$(probe wait --class '#32770' --title "$title" --timeout 30000) || e2e_die "no options dialog from $1"
}
# settled: the dialog once it has handled every click made before.
settled() { probe settle --class '#32770' --title "$title"; }
# expect_states ID=STATE...: the buttons show those states (all read from
# one look at the dialog, taken once it has handled the clicks before).
expect_states() {
  local pair dump wrong=""
  dump=$(settled) || e2e_die "the dialog went away"
  for pair in "$@"; do
    [ "$(box_state "$dump" "${pair%=*}")" = "${pair#*=}" ] || wrong="$wrong ${pair%=*}"
  done
  [ -z "$wrong" ] || e2e_fail "buttons$wrong do not show the states expected ($*)"
}
expect_state() { expect_states "$1=$2"; }
press() { click "$(probe_field "$DIALOG" "^child .* id=$1 " center)"; }
# press_disabled ID: a click on a greyed box changes nothing.
press_disabled() {
  local before
  before=$(box_state "$(settled)" "$1")
  press "$1"
  [ "$(box_state "$(settled)" "$1")" = "$before" ] ||
    e2e_fail "button $1 reacted to a click although it should be greyed"
}
# type_destination TEXT: replaces the edit box's text.
type_destination() {
  press 1000
  xdotool key End shift+Home BackSpace
  xdotool type --delay 20 "$1"
}
types="1005 1006 1008 1009 1010 1011 1012 1013 1014 1016"

# 1. OK with the preset choices.
open_dialog setup.exe
expect_states 1002=1 1004=1 $(for id in 1003 1007 1015 $types; do echo $id=0; done)
[ "$(probe_text "$DIALOG" '^window ')" = "$title" ] || e2e_fail "dialog title: $(probe_text "$DIALOG" '^window ')"
press_disabled 1004
press_disabled 1007
screenshot "$SCREENSHOTS/options-dialog.png" "$(probe_field "$DIALOG" '^window ' rect)"
# Held for a look during the large member, wherever its threads stand. The
# probe watches from before the click, as the member goes by quickly.
probe freeze --class VORNSFXCLASS --label data/large.bin --progress-min 20 --anywhere --timeout 30000 \
  >"$E2E_TMP/frozen" &
freezer=$!
wait_until 30 grep -q '^watching' "$E2E_TMP/frozen" || e2e_fail "winprobe did not begin to watch"
press 1
if wait "$freezer"; then
  window=$(cat "$E2E_TMP/frozen")
  screenshot "$SCREENSHOTS/progress-window.png" "$(probe_field "$window" '^window ' rect)"
  probe thaw --class VORNSFXCLASS >/dev/null || true
else
  e2e_fail "the progress window was not seen extracting"
fi
wait_installer
expect_exit 0
expect_tree expected "$(cpath 'C:\Program Files\Vorn')"
[ -f "$(shell_folder programs)/Vorn.lnk" ] || e2e_fail "no Start-menu shortcut"
[ -f "$(shell_folder sendto)/Vorn.lnk" ] || e2e_fail "no Send To shortcut"
expect_absent "$(shell_folder desktop)/Vorn.lnk"
expect_reg "$output" InstallDir "$(hexz 'C:\Program Files\Vorn')"
expect_no_key 'HKCR\.lzh'
expect_no_key 'HKCR\*\shellex\ContextMenuHandlers\VornDll'

# 2. Cancel.
watch_windows
open_dialog cancel.exe
press 2
wait_installer
expect_exit 1
seen=$(windows_seen)
[ "$seen" = 1 ] || e2e_fail "$seen windows were shown, expected the dialog alone"
expect_absent "$(cpath 'C:\Cancelled')"
expect_reg "$output" InstallDir "$(hexz 'C:\Program Files\Vorn')"

# 3. The view box follows the association buttons.
open_dialog setup.exe
press_disabled 1007
press 1005
expect_state 1005 1
press 1007
expect_state 1007 1
press 1005
expect_state 1005 0
expect_state 1007 0
press_disabled 1007
press 1016
expect_state 1016 1
expect_state 1007 0
press 1007
expect_state 1007 1
press 1
wait_installer
expect_exit 0
expect_reg 'HKCR\.7z' "" "$(hexz VornArchive7zip)"
expect_reg 'HKCR\VornArchive7zip\Shell\View\command' "" "$(hex 'C:\Program Files\Vorn\Vorn.exe /v "%1"')"
expect_no_key 'HKCR\.lzh'

# 4. Already associated and installed: pressed and greyed. A destination
# typed three levels deep.
seed_reg 'HKCR\*\shellex\ContextMenuHandlers\VornDll' "" '{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}'
open_dialog setup.exe
expect_states 1016=1 1007=1 1015=1 $(for id in 1005 1006 1008 1009 1010 1011 1012 1013 1014; do echo $id=0; done)
press_disabled 1016
press_disabled 1015
press 1007
expect_state 1007 0
type_destination 'C:\Deep\Level Two\Level3'
press 1
wait_installer
expect_exit 0
expect_tree expected "$(cpath 'C:\Deep\Level Two\Level3')"
expect_reg "$output" InstallDir "$(hexz 'C:\Deep\Level Two\Level3')"
expect_reg 'HKCR\VornArchive7zip\Shell\Open\command' "" "$(hex 'C:\Deep\Level Two\Level3\Vorn.exe /e "%1"')"
expect_reg 'HKCR\CLSID\{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}\InprocServer32' "" \
  "$(hexz 'C:\Deep\Level Two\Level3\VornDll.dll')"

# 5. A drive that does not exist.
open_dialog setup.exe
type_destination 'Q:\Nowhere\Vorn'
press 1
expect_box "フォルダを作成できません"
wait_installer
expect_exit 2
expect_reg "$output" InstallDir "$(hexz 'C:\Deep\Level Two\Level3')"

e2e_end
