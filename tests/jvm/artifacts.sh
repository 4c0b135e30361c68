#!/usr/bin/env bash
# Usage: artifacts.sh CASE JAVA JAR VERSION MAIN-CLASS
# The release artifacts, as a Java build tool and a Maven repository take them.
#   class_versions  every class file in the jar is of Java 8 (major version 52)
#   manifest        the jar is named tocmate-VERSION.jar; its manifest gives the title, the
#                   version, the module name and the main class
#   maven           beside the jar: pom.xml with the coordinates, name, description, licence
#                   and no dependencies; the sources jar with the source of every class; the
#                   Javadoc jar with a page for every public class and none for the others
set -u
case_name=$1 java=$2 jar=$3 version=$4 main_class=$5
jar_tool=${java%/*}/jar
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() {
  echo "$case_name: $*"
  failed=1
}
(cd "$tmp" && "$jar_tool" --extract --file "$jar") || exit 1
classes=$(cd "$tmp" && find . -name '*.class' | sed 's|^\./||' | sort)
[ -n "$classes" ] || fail "no classes in $jar"

case $case_name in
  class_versions)
    for class in $classes; do
      major=$(od -An -tu1 -j6 -N2 "$tmp/$class" | awk '{ print $1 * 256 + $2 }')
      [ "$major" = 52 ] || fail "$class is of class file version $major, not 52 (Java 8)"
    done
    ;;
  manifest)
    [ "${jar##*/}" = "tocmate-$version.jar" ] || fail "the jar is named ${jar##*/}"
    manifest=$(tr -d '\r' <"$tmp/META-INF/MANIFEST.MF")
    for entry in "Implementation-Title: Tocmate" "Implementation-Version: $version" \
      "Automatic-Module-Name: cd.tocmate" "Main-Class: $main_class" \
      "Enable-Native-Access: ALL-UNNAMED"; do
      grep -qx "$entry" <<<"$manifest" || fail "no '$entry' in the manifest: $manifest"
    done
    ;;
  maven)
    pom=$(dirname "$jar")/pom.xml
    [ -f "$pom" ] || fail "no pom.xml beside the jar"
    for element in "<groupId>cd.tocmate</groupId>" "<artifactId>tocmate</artifactId>" \
      "<version>$version</version>" "<name>Tocmate</name>" "<description>[^<]\+</description>" \
      "<license>" "<name>MIT License</name>"; do
      grep -q "^\s*$element\s*$" "$pom" || fail "no $element in pom.xml"
    done
    ! grep -q "<dependencies>" "$pom" || fail "pom.xml has dependencies"
    sources=$("$jar_tool" --list --file "${jar%.jar}-sources.jar") || fail "no sources jar"
    javadoc=$("$jar_tool" --list --file "${jar%.jar}-javadoc.jar") || fail "no Javadoc jar"
    grep -qx index.html <<<"$javadoc" || fail "no index.html in the Javadoc jar"
    for class in $classes; do
      [[ $class == *'$'* ]] && continue
      name=${class%.class}
      grep -qx "$name.java" <<<"$sources" || fail "no $name.java in the sources jar"
      if "${java%/*}/javap" -cp "$tmp" "${name//\//.}" | grep -qE "^public .*\b(class|interface)\b"; then
        grep -qx "$name.html" <<<"$javadoc" || fail "no page for $name in the Javadoc jar"
      elif grep -qx "$name.html" <<<"$javadoc"; then
        fail "a page for $name, which is not public"
      fi
    done
    ;;
  *)
    fail "no such case"
    ;;
esac
[ $failed -eq 0 ] && echo "ok: $case_name"
exit $failed
