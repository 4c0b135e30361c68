# What the checks run in the guest share (sourced; `here` is the folder of this file).

# A JVM takes seconds to start under TCG: interpreting a short run is quicker than compiling it.
guest_java="java -Xint -XX:+UseSerialGC -XX:-UsePerfData -jar tocmate.jar"

# make_work JAR: the folder shared with the guest, in $work and removed at exit: out/,
# images/, the jar as tocmate.jar and the guest's part of a test (steps.sh) as run.sh.
make_work() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/tocmate-cdemu.XXXXXX") || exit 1
  trap 'rm -rf "$work"' EXIT
  mkdir "$work/out" "$work/images"
  cp "$1" "$work/tocmate.jar" && cp "$here/steps.sh" "$work/run.sh" && chmod 755 "$work" || exit 1
}

# boot_guest GUEST: boots it once on $work, which runs $work/steps.sh; exits with 77 (the
# test skipped) where it can not run, and fails with the guest's log where it failed.
boot_guest() {
  local start=$SECONDS status
  bash "$here/guest.sh" run "$1" "$work"
  status=$?
  echo "guest: exit $status in $((SECONDS - start)) s"
  [ $status -eq 77 ] && exit 77
  [ $status -eq 0 ] || { cat "$work/guest.log"; exit 1; }
}
