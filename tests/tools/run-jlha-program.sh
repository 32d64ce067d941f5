#!/bin/sh
# run-jlha-program.sh SOURCE.java [ARGUMENT...]: runs a one-file Java
# program written against the jLHA library (lzhgen, jlha), compiled once.
# Needs: apt-get install default-jdk-headless libjlha-java
set -e
source=$1
shift
class=$(basename "$source" .java)
# One folder of classes per version of the source, compiled aside and
# renamed into place: programs running side by side never load a class
# file that another is still writing.
classes=${TMPDIR:-/tmp}/$class-classes-$(cksum <"$source" | cut -d ' ' -f 1)
if [ ! -d "$classes" ]; then
  fresh=$(mktemp -d "$classes.XXXXXX")
  javac -d "$fresh" -cp /usr/share/java/jlha.jar "$source"
  mv -T "$fresh" "$classes" 2>/dev/null || rm -rf "$fresh"
fi
exec java -cp "/usr/share/java/jlha.jar:$classes" "$class" "$@"
