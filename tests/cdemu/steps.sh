#!/usr/bin/env bash
# The guest's part of a test, run as root in the guest (copied to the work folder as run.sh):
# starts CDEmu with one drive, then runs the test's steps.sh, where
#   load IMAGE          puts the disc image (a path in /work) in the drive
#   unload              takes the disc out
#   run NAME COMMAND... runs COMMAND in /work as the user "tocmate" (group cdrom), offline
#                       (TOCMATE_OFFLINE=1: no request to the services), its
#                       output in out/NAME.out and .err, its exit status in out/NAME.status
set -eu
modprobe vhba
modprobe sr_mod
modprobe sg
# cdemu-daemon talks D-Bus: a bus of its own. (Its drive's D-Bus name is its number.)
export DBUS_SESSION_BUS_ADDRESS=unix:path=/run/cdemu-bus
dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --fork --nopidfile
cdemu-daemon --num-devices=1 --ctl-device=/dev/vhba_ctl --audio-driver=null --bus=session \
  --logfile=/work/out/cdemu-daemon.log &
for _ in $(seq 200); do
  [ -b /dev/sr0 ] && break
  sleep 0.1
done
# As udev would on a desktop: the drive's node for group cdrom.
chgrp cdrom /dev/sr0
chmod 660 /dev/sr0

daemon() {
  gdbus call --session --dest net.sf.cdemu.CDEmuDaemon --object-path /Daemon \
    --method "net.sf.cdemu.CDEmuDaemon.$1" "${@:2}" >/dev/null
}
load() { daemon DeviceLoad 0 "['/work/$1']" '@a{sv} {}'; }
unload() { daemon DeviceUnload 0; }
run() {
  local name=$1
  shift
  set +e
  (cd /work && setpriv --reuid=tocmate --regid=tocmate --init-groups env -i HOME=/tmp \
    PATH=/usr/bin:/bin TOCMATE_OFFLINE=1 "$@" >"out/$name.out" 2>"out/$name.err")
  echo $? >"/work/out/$name.status"
  set -e
}
source /work/steps.sh
