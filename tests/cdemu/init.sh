#!/bin/sh
# The guest's first process: mounts the host's work folder (shared as "work"), runs its
# run.sh, keeps its status there and powers the guest off. What a test does lives in that
# script, so that a change to a test needs no new guest.
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
modprobe 9pnet_virtio && modprobe 9p &&
  mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 work /work &&
  bash /work/run.sh >/work/guest.log 2>&1
echo $? >/work/status
sync
echo o >/proc/sysrq-trigger
sleep 60
