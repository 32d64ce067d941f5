#!/bin/bash
# The registry as unattended installations leave it, read back value by
# value with RegQueryValueExA (type, byte count, bytes):
#  1. every switch and several words: uninstall entry, install directory,
#     shell extension, five associations with the View verb; a foreign class
#     of .zip and a class-less .tar key are backed up; the Extract verb goes
#     for .lzh and .zip only.
#  2. a second installation over the first, into a new folder and naming
#     fewer types: the types detected as Vorn's follow the new folder, the
#     backups of the first run stay, a "View" Shell default stays.
#  3. without the compress option (and no extension installed any more) the
#     CLSID keys are left as they are.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/install_lib.sh"
e2e_begin "registry of unattended installations"

cd "$E2E_WORK"
list=$E2E_WORK/list
stored_member "$list" -lh0- 1 Vorn.exe 3000 random 1 1577836800
stored_member "$list" -lh0- 1 VornDll.dll 2000 random 2 1577836800
make_archive setup.lzh "$list"
build_installer setup.lzh setup.exe --title Vorn --destination 'C:\Block' --program Vorn.exe
setup=$(winpath "$E2E_WORK/setup.exe")

uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorn'
output='HKCU\Software\Tenbrel\Vorn\Output'
clsid='{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}'
open_menu=$(sjis_hexz 'Vornで解凍(&E)')
view_menu=$(sjis_hexz 'Vornで閲覧(&V)')

# expect_prog_id PROGID ICON MAIN VIEW-MAIN: the ProgID tree of a program
# at MAIN; VIEW-MAIN is the program the View verb names ("" for none).
expect_prog_id() {
  local p=HKCR\\$1 main_hex view
  main_hex=$(sjis_hex "$3")
  expect_reg "$p" "" "$(hexz 'Archive file')"
  expect_reg "$p\\DefaultIcon" "" "${main_hex}$(hexz ",$2")"
  expect_reg "$p\\Shell\\Open" "" "$open_menu"
  expect_reg "$p\\Shell\\Open\\command" "" "${main_hex}$(hex ' /e "%1"')"
  if [ -n "$4" ]; then
    expect_reg "$p\\Shell\\View" "" "$view_menu"
    expect_reg "$p\\Shell\\View\\command" "" "$(sjis_hex "$4")$(hex ' /v "%1"')"
  else
    expect_no_key "$p\\Shell\\View"
  fi
}

# 1. Seeds: a foreign class, a key without a default value, old Extract verbs.
seed_reg 'HKCR\.zip' "" CompressedFolder
seed_reg 'HKCR\.tar' Content 'application/x-tar'
for p in VornArchive VornArchiveZip VornArchiveCab; do
  seed_reg "HKCR\\$p\\Shell\\Extract" "" Extract
  seed_reg "HKCR\\$p\\Shell\\Extract\\command" "" 'C:\old\unpack.exe "%1"'
done
dest1='C:\Program Files\ベンダー\Vorn'
main1="$dest1\\Vorn.exe"
run_installer "$E2E_WORK" "$(padded "\"$setup\" \"$dest1\" /mdtca lzh ZIP cab tar 7z")"
expect_exit 0
expect_same expected/Vorn.exe "$(cpath "$dest1")/Vorn.exe"

expect_reg "$uninstall" DisplayName "$(hexz Vorn)"
expect_reg "$uninstall" UninstallString "$(sjis_hexz "$main1 /u")"
expect_reg "$output" InstallDir "$(sjis_hexz "$dest1")"
expect_reg "$output" OldZClass "$(hexz CompressedFolder)"
expect_reg "$output" OldAClass "00"
for name in OldClass OldCClass Old7Class; do expect_no_value "$output" "$name"; done
expect_reg "HKCR\\CLSID\\$clsid" "" "$(hexz VornDll)"
expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" "$(sjis_hexz "$dest1\\VornDll.dll")"
expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel "$(hexz Apartment)"
expect_reg 'HKCR\*\shellex\ContextMenuHandlers\VornDll' "" "$(hexz "$clsid")"
expect_reg 'HKCR\Folder\shellex\ContextMenuHandlers\VornDll' "" "$(hexz "$clsid")"
expect_reg 'HKCR\.lzh' "" "$(hexz VornArchive)"
expect_reg 'HKCR\.zip' "" "$(hexz VornArchiveZip)"
expect_reg 'HKCR\.cab' "" "$(hexz VornArchiveCab)"
expect_reg 'HKCR\.tar' "" "$(hexz VornArchiveTar)"
expect_reg 'HKCR\.tar' Content "$(hexz 'application/x-tar')"
expect_reg 'HKCR\.7z' "" "$(hexz VornArchive7zip)"
expect_no_key 'HKCR\.gz'
expect_prog_id VornArchive 1 "$main1" "$main1"
expect_prog_id VornArchiveZip 2 "$main1" "$main1"
expect_prog_id VornArchiveCab 3 "$main1" "$main1"
expect_prog_id VornArchiveTar 5 "$main1" "$main1"
expect_prog_id VornArchive7zip 7 "$main1" "$main1"
for p in VornArchive VornArchiveZip VornArchiveCab VornArchiveTar VornArchive7zip; do
  expect_reg "HKCR\\$p\\Shell" "" "$(hex Open)00000000"
done
expect_no_key 'HKCR\VornArchive\Shell\Extract'
expect_no_key 'HKCR\VornArchiveZip\Shell\Extract'
expect_reg 'HKCR\VornArchiveCab\Shell\Extract\command' "" "$(hexz 'C:\old\unpack.exe "%1"')"

# 2. Over the first: a new folder, only lzh named, no switches. The types
# found associated come back; a user's "View" default stays.
seed_reg 'HKCR\VornArchiveCab\Shell' "" View
dest2='C:\Tools\Vorn 2'
main2="$dest2\\Vorn.exe"
run_installer "$E2E_WORK" "\"$setup\" \"$dest2\" lzh"
expect_exit 0
expect_reg "$uninstall" UninstallString "$(hexz "$main2 /u")"
expect_reg "$output" InstallDir "$(hexz "$dest2")"
expect_reg "$output" OldZClass "$(hexz CompressedFolder)"
expect_reg "$output" OldAClass "00"
expect_no_value "$output" OldClass
# The handler key was found, so the extension follows the new folder too.
expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" "$(hexz "$dest2\\VornDll.dll")"
# Without /c this time: the View verb of the first run is neither written
# nor removed.
expect_prog_id VornArchive 1 "$main2" "$main1"
expect_prog_id VornArchiveZip 2 "$main2" "$main1"
expect_prog_id VornArchiveCab 3 "$main2" "$main1"
expect_prog_id VornArchiveTar 5 "$main2" "$main1"
expect_prog_id VornArchive7zip 7 "$main2" "$main1"
expect_reg 'HKCR\VornArchiveCab\Shell' "" "$(hexz View)"
expect_reg 'HKCR\VornArchive\Shell' "" "$(hex Open)00000000"

# 3. The extension's handlers are gone and the compress option is off: the
# CLSID keys stay as they are and no handler key comes back.
delete_reg 'HKCR\*\shellex\ContextMenuHandlers\VornDll'
delete_reg 'HKCR\Folder\shellex\ContextMenuHandlers\VornDll'
seed_reg "HKCR\\CLSID\\$clsid" "" Earlier
dest3='C:\Third'
run_installer "$E2E_WORK" "\"$setup\" \"$dest3\" /m"
expect_exit 0
expect_reg "$output" InstallDir "$(hexz "$dest3")"
expect_reg "HKCR\\CLSID\\$clsid" "" "$(hexz Earlier)"
expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" "$(hexz "$dest2\\VornDll.dll")"
expect_no_key 'HKCR\*\shellex\ContextMenuHandlers\VornDll'
expect_no_key 'HKCR\Folder\shellex\ContextMenuHandlers\VornDll'
expect_reg 'HKCR\VornArchive\Shell\Open\command' "" "$(hex "$dest3\\Vorn.exe /e \"%1\"")"

e2e_end
