#!/bin/bash
# An installer started with a quoted destination, switches and words on its
# command line extracts into that destination without a dialog: a folder
# several levels deep that does not exist yet, with blanks and Shift-JIS
# names in it (表 and ソ end in the byte 0x5C). The configuration block's own
# destination is ignored; its title is used. A destination that cannot be
# made ends the run with a box.
. "$(dirname "$0")/lib.sh"
e2e_begin "unattended installer: quoted destination, switches and words"

cd "$E2E_WORK"
stored=$E2E_WORK/stored.list
packed=$E2E_WORK/packed.list
stored_member "$stored" -lh0- 1 bin/tool.exe 20000 random 1 1577836800
stored_member "$stored" -lh0- 2 文書/説明.txt 5000 text 2 1577836802
stored_member "$stored" -lz4- 0 lib/data.bin 3000 random 3 1577836804
packed_member "$packed" -lh5- 1 lib/large.txt 1500000 text 4 1577836806
packed_member "$packed" -lh7- 2 ソフト/表.txt 30000 text 5 1577836808
packed_member "$packed" -lh6- 0 lib/more.bin 8000 random 6 1577836810
jlha_archive packed.lzh "$packed"
printf 'copy\tpacked.lzh\n' >>"$stored"
make_archive setup.lzh "$stored"
title=$(sjis "Vorn テスト インストーラ")
build_installer setup.lzh setup.exe --title "$title" --destination 'C:\BlockDestination' \
  --program 'bin\tool.exe' --start-menu 1 --desktop 1 --send-to 1 --shortcut-name Tool

launch_dir=$E2E_WORK/launch
mkdir "$launch_dir"
destination='C:\インストール先\表 示\深い フォルダ\vorn'
line="\"$(winpath "$E2E_WORK/setup.exe")\" \"$destination\" /mdt lzh ZIP /c /a"
start_installer "$launch_dir" "$line"
# Hold the extraction while the window shows, to read its title.
window=$(probe freeze --anywhere --class VORNSFXCLASS --timeout 30000) || e2e_fail "the progress window did not appear"
probe thaw --class VORNSFXCLASS >/dev/null || true
wait_installer
expect_exit 0
title_shown=$(probe_text "$window" '^window ')
[ "$title_shown" = "Vorn テスト インストーラ" ] ||
  e2e_fail "window title \"$title_shown\", expected the block's title"
expect_tree expected "$(cpath "$destination")"
expect_times "$(cpath "$destination")"
expect_absent "$(cpath 'C:\BlockDestination')"
expect_empty "$launch_dir" "the folder the installer was started in"

# A relative quoted destination lies below the folder the installer is
# started in.
mkdir -p "$launch_dir/existing"
line="\"$(winpath "$E2E_WORK/setup.exe")\" \"existing\\sub dir\" /m"
run_installer "$launch_dir" "$line"
expect_exit 0
expect_tree expected "$launch_dir/existing/sub dir"
expect_times "$launch_dir/existing/sub dir"

# A destination that cannot be made (below a file; an empty pair of quotes)
# gives the "フォルダを作成できません" box; nothing is extracted.
printf 'x' >"$launch_dir/blocker"
for destination in 'blocker\sub' ''; do
  start_installer "$launch_dir" "\"$(winpath "$E2E_WORK/setup.exe")\" \"$destination\" /m"
  expect_box "フォルダを作成できません"
  wait_installer
  expect_exit 2
  [ "$(ls -A "$launch_dir" | tr '\n' ' ')" = "blocker existing " ] ||
    e2e_fail "destination \"$destination\": wrote $(ls -A "$launch_dir" | tr '\n' ' ')"
done

e2e_end
