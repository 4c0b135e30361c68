#!/bin/busybox sh
# The first process of the guest's initramfs: loads the modules that the root disc and the
# shared work folder need (in /modules, in order), mounts the root disc and hands over to
# the root's first process.
/bin/busybox --install -s /bin
mount -t devtmpfs devtmpfs /dev
mount -t proc proc /proc
for module in /modules/*.ko; do
  insmod "$module"
done
for attempt in $(seq 100); do
  [ -b /dev/vda ] && break
  sleep 0.1
done
if ! mount -t ext4 /dev/vda /root; then
  echo o >/proc/sysrq-trigger
  sleep 60
fi
umount /proc
mount --move /dev /root/dev
exec switch_root /root /sbin/tocmate-init
