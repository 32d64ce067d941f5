#!/bin/sh
# make-dist.sh: the release, from the builds, into dist/:
#   vorn-sfx-VERSION-linux-x86_64.tar.gz   mksfx, the stub, README.md, LICENSE
#   vorn-sfx-VERSION-windows-x64.zip       mksfx.exe, the stub, README.md, LICENSE
#   SHA256SUMS
# each archive holding one folder, vorn-sfx-VERSION, in which mksfx finds
# the stub beside itself. VERSION is what mksfx --version says (the
# project's version in CMakeLists.txt). Files carry the time of the last
# commit, so that the same sources give the same archives.
set -eu
cd "$(dirname "$0")/.."
linux_mksfx=build/native/mksfx windows_mksfx=build/win64/mksfx.exe stub=build/win32/vornsfx.exe
for file in $linux_mksfx $windows_mksfx $stub; do
  [ -f $file ] || { echo "dist: $file is missing (make all builds it)" >&2; exit 1; }
done
[ "$(stat -c %s $stub)" = 17408 ] || { echo "dist: $stub is not 17408 bytes" >&2; exit 1; }
version=$($linux_mksfx --version | sed -n 's/^mksfx //p')
[ -n "$version" ] || { echo "dist: $linux_mksfx --version gives no version" >&2; exit 1; }
name=vorn-sfx-$version
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)

staging=build/dist
rm -rf $staging dist
mkdir -p $staging/linux/$name $staging/windows/$name dist
cp README.md LICENSE $stub $staging/linux/$name/
cp README.md LICENSE $stub $staging/windows/$name/
strip -o $staging/linux/$name/mksfx $linux_mksfx
cp $windows_mksfx $staging/windows/$name/
find $staging -exec touch -h -d "@$stamp" {} +

tar -C $staging/linux --sort=name --owner=0 --group=0 --numeric-owner -cf - $name |
  gzip -9n >dist/$name-linux-x86_64.tar.gz
(cd $staging/windows && find $name | sort | TZ=UTC zip -X -q -9 ../../../dist/$name-windows-x64.zip -@)
(cd dist && sha256sum $name-linux-x86_64.tar.gz $name-windows-x64.zip >SHA256SUMS)
echo "dist: $(cd dist && echo *)"
