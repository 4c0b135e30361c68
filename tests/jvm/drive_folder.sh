# Sourced by the failure tests with the fake drive library in $fake and, as arguments, the
# files they run (libraries, jars): a folder, removed at exit, holding copies of these and
# of the fake drive library (now $fake), so that another user can run them too, wherever the
# build is, and a simulated drive, $device, holding the worked example.
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
chmod 755 "$folder"
cp "$@" "$fake" "$folder/"
fake=$folder/$(basename "$fake")
device=$folder/sr0
: >"$device"
export FAKE_CDROM_DEVICE=$device FAKE_CDROM_TOC="1 3 48766 150 18000 33765"
