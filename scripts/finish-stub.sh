#!/bin/sh
# finish-stub.sh LINKED OUTPUT SIZE MAP
# Finishes the PE layout of the linked stub, then fails when it is larger
# than SIZE; otherwise writes OUTPUT padded with zero bytes to exactly SIZE.
# Either way it reports the room left, the size of every section and the
# code of the largest objects, so that growth is seen at every build.
set -eu
linked=$1 output=$2 size=$3 map=$4
report=$("$(dirname "$0")/finish-pe-layout.py" "$linked" "$map")
echo "$report"
used=$(echo "$report" | sed -n 's/^stub: \([0-9]*\) bytes in use$/\1/p')
actual=$(stat -c %s "$linked")
echo "stub: room left: $((size - used)) bytes ($actual bytes in whole blocks, of the $size allowed)"
i686-w64-mingw32-objdump -h "$linked" | while read -r index name hexsize rest; do
  case "$name" in .*) printf '  section %-8s %6d bytes\n' "$name" "$((0x$hexsize))" ;; esac
done
python3 - "$map" <<'PY'
# Code and constant data per object, from the link map: an input section is
# listed as name, address, size and object, the name on a line of its own
# when it is long.
import re, sys, collections
sizes = collections.Counter()
pending = None
for line in open(sys.argv[1], errors="replace"):
    m = re.match(r"^ (\.(?:text|rdata|data)\S*)\s*$", line)
    if m:
        pending = m.group(1)
        continue
    m = re.match(r"^ (\.(?:text|rdata|data)\S*)?\s+0x[0-9a-f]+\s+(0x[0-9a-f]+)\s+(\S+\.obj)\)?$", line)
    if m and (m.group(1) or pending):
        sizes[re.sub(r".*[/(]", "", m.group(3))] += int(m.group(2), 16)
    pending = None
total = 0
for name, n in sorted(sizes.items(), key=lambda item: -item[1]):
    total += n
    print("  %6d %s" % (n, name))
print("  %6d in all objects" % total)
PY
if [ "$actual" -gt "$size" ]; then
  echo "stub: too large by $((actual - size)) bytes" >&2
  exit 1
fi
cp "$linked" "$output.tmp"
truncate -s "$size" "$output.tmp"
mv "$output.tmp" "$output"
