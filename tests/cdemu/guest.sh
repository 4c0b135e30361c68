#!/usr/bin/env bash
# A Debian 13 ("trixie") guest for QEMU whose CD drive is emulated by CDEmu: the vhba module
# (built here from the vhba-dkms source against the guest's own kernel headers),
# cdemu-daemon and libmirage, a Java runtime, libdiscid, cdparanoia and cdrdao. Kept in a
# folder outside the clone, as three files: the kernel, its initramfs and the root as an ext4 image, which
# every boot uses read-only (QEMU's snapshot=on keeps the guest's writes in memory).
#   guest.sh make CACHE       makes CACHE once, from the Debian archive that apt's sources
#                             name here (packages fetched by apt with a configuration of our
#                             own, never the system's sources); later finds it, checks it,
#                             and makes it anew when it is missing, broken or its first
#                             process (init.sh) has changed
#   guest.sh run CACHE WORK   boots the guest with WORK shared as /work; as root the guest
#                             runs WORK/run.sh, writing its output to WORK/guest.log and its
#                             exit status to WORK/status, then powers off
# Both exit with 77, for a skipped test, where the guest cannot be made or booted here: not
# as root, without debootstrap or QEMU, or with neither the archive nor a made guest.
set -u
action=$1 cache=$2
here=$(cd "$(dirname "$0")" && pwd)
skip() {
  echo "skipped: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "making the guest's root needs root"
command -v qemu-system-x86_64 >/dev/null ||
  skip "no qemu-system-x86_64 (scripts/install-deps.sh qemu-system-x86 installs it)"
made=$cache/made
# Kernel and modules come from the guest's root; "vhba" is ours, built below.
packages=linux-image-amd64,linux-headers-amd64,make,kmod,busybox-static
packages+=,cdemu-daemon,dbus,dbus-system-bus-common,libglib2.0-bin
packages+=,libdiscid0,openjdk-21-jre-headless,cdparanoia,cdrdao
# The guest's own identity, for the check of a made guest: its first processes and packages.
guest_version() {
  { cat "$here/initramfs.sh" "$here/init.sh" && echo "$packages"; } | sha256sum | cut -d' ' -f1
}

# Boots the guest with ACCELERATOR and WORK shared, for at most SECONDS.
boot() {
  local accel=$1 work=$2 seconds=$3
  timeout "$seconds" qemu-system-x86_64 -accel "$accel" -cpu max -m 1536 -smp 2 \
    -nodefaults -no-user-config -display none -no-reboot -nic none \
    -serial "file:$work/console" \
    -kernel "$cache/vmlinuz" -initrd "$cache/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 init=/sbin/tocmate-init quiet panic=-1" \
    -drive "file=$cache/root.img,format=raw,if=virtio,snapshot=on" \
    -virtfs "local,path=$work,mount_tag=work,security_model=none,id=work"
}

# The accelerator QEMU can run the guest with: KVM where /dev/kvm opens and runs it (a
# nested hypervisor may open but fail on a stock kernel, or stop it with an internal error
# and wait), else TCG.
probe_accelerator() {
  local work
  work=$(mktemp -d) || return 1
  echo true >"$work/run.sh"
  if [ -r /dev/kvm ] && boot kvm "$work" 30 >/dev/null 2>&1 &&
    [ "$(cat "$work/status" 2>/dev/null)" = 0 ]; then
    echo kvm
  else
    echo tcg
  fi
  rm -rf "$work"
}

# The vhba module from its Debian source package, built in ROOT for ROOT's kernel.
build_vhba() {
  local root=$1 deb=$2 kernel source
  kernel=$(ls "$root/lib/modules")
  dpkg-deb -x "$deb" "$root" || return 1
  source=$(cd "$root" && ls -d usr/src/vhba-*) || return 1
  chroot "$root" make -C "/lib/modules/$kernel/build" M="/$source" modules >&2 || return 1
  mkdir -p "$root/lib/modules/$kernel/updates" &&
    cp "$root/$source/vhba.ko" "$root/lib/modules/$kernel/updates/" &&
    chroot "$root" depmod "$kernel"
}

# A small initramfs for ROOT's kernel: busybox, the modules that mount the root disc and
# the shared work folder, and initramfs.sh. (The root's own initramfs, with udev, takes
# seconds longer to boot under TCG.)
make_initramfs() {
  local root=$1 out=$2 kernel folder module number=10
  kernel=$(ls "$root/lib/modules")
  folder=$root/tmp/initramfs
  mkdir -p "$folder"/{bin,dev,proc,root,modules} &&
    cp "$root/usr/bin/busybox" "$folder/bin/" && cp "$here/initramfs.sh" "$folder/init" || return 1
  for module in $(chroot "$root" modprobe -S "$kernel" --show-depends -a virtio_blk ext4 \
    9pnet_virtio 9p |
    awk '$1 == "insmod" { print $2 }'); do
    xz -dcf "$root$module" >"$folder/modules/$number-$(basename "${module%%.ko*}").ko" || return 1
    number=$((number + 1))
  done
  chroot "$root" sh -c 'cd /tmp/initramfs && find . | cpio -o -H newc --quiet' | gzip -1 >"$out" &&
    rm -rf "$folder"
}

make_guest() {
  local new=$cache.new archive keyring apt start
  read -r archive keyring < <(source "$here/../debian_archive.sh" && debian_archive)
  [ -n "${archive:-}" ] || { echo "no Debian archive among apt's sources"; return 1; }
  rm -rf --one-file-system "$cache" "$new"
  mkdir -p "$new/apt/lists/partial" "$new/apt/cache/archives/partial" "$new/apt/parts"
  echo "making $cache from $archive"
  start=$SECONDS
  # vhba-dkms is in contrib; fetched with our own apt configuration and built by us (its
  # package would build it for the host's kernel).
  echo "deb ${keyring:+[signed-by=$keyring] }$archive trixie main contrib" >"$new/apt/sources.list"
  apt=(apt-get -q -o "Dir::Etc::sourcelist=$new/apt/sources.list"
    -o "Dir::Etc::sourceparts=$new/apt/parts" -o "Dir::State::Lists=$new/apt/lists"
    -o "Dir::Cache=$new/apt/cache" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
  if ! "${apt[@]}" update >"$cache.log" 2>&1 ||
    ! (cd "$new/apt" && "${apt[@]}" download vhba-dkms) >>"$cache.log" 2>&1; then
    tail -5 "$cache.log"
    rm -rf --one-file-system "$new"
    skip "the Debian archive ($archive) cannot be reached, and no guest was made before"
  fi
  if ! debootstrap --variant=minbase --include="$packages" ${keyring:+--keyring="$keyring"} \
    trixie "$new/root" "$archive" >>"$cache.log" 2>&1; then
    tail -20 "$cache.log"
    return 1
  fi
  build_vhba "$new/root" "$new"/apt/vhba-dkms_*.deb >>"$cache.log" 2>&1 || {
    tail -20 "$cache.log"
    return 1
  }
  # The user the tests run as: in group cdrom, as a desktop's user is.
  chroot "$new/root" useradd --uid 1000 --groups cdrom --home-dir /tmp --no-create-home tocmate &&
    mkdir "$new/root/work" && cp "$here/init.sh" "$new/root/sbin/tocmate-init" &&
    rm -f "$new"/root/var/cache/apt/archives/*.deb &&
    cp "$new"/root/boot/vmlinuz-* "$new/vmlinuz" && make_initramfs "$new/root" "$new/initrd.img" ||
    return 1
  local size
  size=$(du -sm --one-file-system "$new/root" | cut -f1)
  mkfs.ext4 -q -L guest -d "$new/root" "$new/root.img" "$((size + size / 4 + 128))M" \
    >>"$cache.log" 2>&1 || { tail -5 "$cache.log"; return 1; }
  rm -rf --one-file-system "$new/root" "$new/apt"
  mv "$new" "$cache"
  probe_accelerator >"$cache/accelerator"
  echo "$(guest_version) $(date -u +%FT%TZ) in $((SECONDS - start)) s from $archive," \
    "running with $(cat "$cache/accelerator")" >"$made"
}

case $action in
  make)
    command -v debootstrap >/dev/null ||
      skip "no debootstrap (scripts/install-deps.sh debootstrap installs it)"
    mkdir -p "$(dirname "$cache")"
    # One maker at a time; the others wait and find it made.
    exec 9>"$cache.lock"
    flock 9
    if [ "$(cut -d' ' -f1 "$made" 2>/dev/null)" = "$(guest_version)" ] &&
      e2fsck -fn "$cache/root.img" >/dev/null 2>&1 && [ -s "$cache/vmlinuz" ] &&
      [ -s "$cache/initrd.img" ]; then
      echo "ok: $cache, made $(cut -d' ' -f2- "$made")"
      exit 0
    fi
    make_guest || { rm -rf --one-file-system "$cache.new"; exit 1; }
    echo "ok: $cache, made $(cut -d' ' -f2- "$made")"
    ;;
  run)
    work=$3
    [ -f "$made" ] || skip "no guest at $cache (the test cdemu.guest says why)"
    rm -f "$work/status"
    boot "$(cat "$cache/accelerator")" "$work" 300 ||
      { echo "QEMU failed"; tail -20 "$work/console"; }
    [ -f "$work/status" ] || { echo "the guest did not finish"; tail -30 "$work/console"; exit 1; }
    exit "$(cat "$work/status")"
    ;;
  *)
    echo "no such action: $action"
    exit 2
    ;;
esac
