# Sourced by the jar tests, after they set java, jar, discs and case_name: a scratch folder
# removed at the end (with the file systems mounted in it), the worked example's texts, and
# helpers.
tmp=$(mktemp -d)
mounts=()
cleanup() {
  local mount
  for mount in "${mounts[@]}"; do umount "$mount"; done
  rm -rf "$tmp"
}
trap cleanup EXIT
mkdir "$tmp/java-tmp"
# The loader's reused copies go to the scratch folder, not to this user's cache.
export XDG_CACHE_HOME=$tmp/cache
# A regular file: no folder can be made under it, not even by root.
nowhere=$tmp/not-a-folder
: >"$nowhere"
worked="11028803 3 150 18000 33765 650
3 238 210 200"
failed=0
fail() {
  echo "$case_name: $*"
  failed=1
  return 1
}
skip() {
  echo "$case_name: skipped: $*"
  exit 77
}

# run_tool NAME [JAVA-OPTION...]: the tool on the worked example, its temporary folder checked
run_tool() {
  local name=$1 output
  shift
  output=$(TOCMATE_DRIVE=$discs/worked-example.toc "$java" -Djava.io.tmpdir="$tmp/java-tmp" \
    "$@" 2>"$tmp/$name.errors")
  [ "$output" = "$worked" ] || fail "$name: got [$output] $(cat "$tmp/$name.errors")"
}
# no_copies_left [FOLDER]: nothing in the folder (by default the JVMs' temporary folder)
no_copies_left() {
  local folder=${1:-$tmp/java-tmp}
  [ -z "$(ls -A "$folder")" ] || fail "left behind in $folder: $(ls -A "$folder")"
}
# start_held COMMAND...: the command in the background, its standard input held open until
# end_held; waits for its first output (in $tmp/held)
start_held() {
  mkfifo "$tmp/hold"
  "$@" <"$tmp/hold" >"$tmp/held" &
  held=$!
  exec 3>"$tmp/hold"
  for ((wait = 0; wait < 300; wait++)); do
    [ -s "$tmp/held" ] && break
    sleep 0.1
  done
}
# end_held NAME: closes its input and waits for it to exit with 0
end_held() {
  exec 3>&-
  wait "$held" || fail "$1 failed"
  rm "$tmp/hold"
}
# hold_library [JAVA-OPTION...]: a JVM that loads the library and keeps it until end_held
hold_library() {
  TOCMATE_DRIVE=$discs/worked-example.toc start_held "$java" -Djava.io.tmpdir="$tmp/java-tmp" \
    "$@" -cp "$jar:$tests_jar" HoldLibrary
  [ "$(cat "$tmp/held")" = loaded ] || fail "the holding JVM: $(cat "$tmp/held")"
}
# mount_tmpfs FOLDER OPTIONS: a fresh tmpfs there, or the case is skipped
mount_tmpfs() {
  mkdir -p "$1"
  mount -t tmpfs -o "$2" tmpfs "$1" 2>/dev/null || skip "can not mount a tmpfs ($2) here"
  mounts+=("$1")
}
finish() {
  [ $failed -eq 0 ] && echo "ok: $case_name"
  exit $failed
}
