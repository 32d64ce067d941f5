#!/bin/bash
# mksfx --sign signs an installer with a throw-away certificate made here:
# osslsigncode verify accepts the signature, which follows the archive, and
# the signed installer still writes its whole tree (the member walk stops at
# the archive's end byte, before the signature).
. "$(dirname "$0")/lib.sh"
e2e_begin "signed installer: the signature verifies and the installer still extracts"

cd "$E2E_WORK"
tree=$E2E_WORK/expected
mkdir -p "$tree/フォルダ"
make_data "$tree/readme.txt" 50000 text 1
make_data "$tree/フォルダ/表示.bin" 20000 random 2
touch -d @1700000000 "$tree/readme.txt" "$tree/フォルダ/表示.bin"
printf '1700000000\treadme.txt\n1700000000\tフォルダ/表示.bin\n' >"$tree.times"

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Vorn test publisher" >/dev/null 2>&1 || e2e_die "openssl could not make a certificate"
printf 'not a secret\n' >password.txt
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.pfx -passout file:password.txt ||
  e2e_die "openssl could not make cert.pfx"

"$E2E_MKSFX" --stub "$E2E_STUB" --plain expected unsigned.exe || e2e_die "mksfx failed"
"$E2E_MKSFX" --stub "$E2E_STUB" --plain --sign cert.pfx --password-file password.txt expected signed.exe ||
  e2e_die "mksfx --sign failed"
[ "$(stat -c %s signed.exe)" -gt "$(stat -c %s unsigned.exe)" ] || e2e_fail "the signed installer is no larger"
cmp -s -n 17400 unsigned.exe signed.exe && e2e_fail "the stub's PE header shows no signature"
osslsigncode verify -CAfile cert.pem -in signed.exe >verify.log 2>&1 ||
  e2e_fail "osslsigncode verify refuses the signature: $(tr '\n' ' ' <verify.log)"
"$E2E_MKSFX" --test signed.exe >/dev/null || e2e_fail "mksfx --test fails on the signed installer"
# A wrong password gives an error and no output.
printf 'wrong\n' >wrong.txt
"$E2E_MKSFX" --stub "$E2E_STUB" --plain --sign cert.pfx --password-file wrong.txt expected wrong.exe 2>/dev/null &&
  e2e_fail "mksfx signed with a wrong password"
[ -z "$(ls wrong.exe* 2>/dev/null)" ] || e2e_fail "a failed signing left $(ls wrong.exe*)"

mkdir dest
run_installer dest "\"$(winpath "$E2E_WORK/signed.exe")\""
expect_exit 0
expect_tree expected dest
expect_times dest

e2e_end
