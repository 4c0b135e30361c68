#!/usr/bin/env bash
# Wine prefixes for the Windows build's tests.
#   wine_prefix.sh create PREFIX [CDROM-DEVICE]  a fresh prefix; with a device file, its
#                                                drive D: is a CD-ROM on that file
#   wine_prefix.sh stop PREFIX                   ends the prefix's wineserver
#   wine_prefix.sh run PREFIX FAKE-LIBRARY|- COMMAND...
#       runs the command in the prefix, with the fake drive preloaded unless "-"; the disc
#       is the table-of-contents file that FAKE_CDROM_DISC names, whose catalog, isrc and
#       cdtext lines the drive answers too
set -eu
action=$1 prefix=$2
shift 2
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
case $action in
  create)
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    if ! wineboot -i >"$log" 2>&1; then
      cat "$log"
      exit 1
    fi
    if [ $# -gt 0 ]; then
      : >>"$1"
      mkdir -p "$prefix/cdrom"
      ln -sfn "$1" "$prefix/dosdevices/d::"
      ln -sfn ../cdrom "$prefix/dosdevices/d:"
      wine reg add 'HKLM\Software\Wine\Drives' /v d: /t REG_SZ /d cdrom /f >/dev/null 2>&1
    fi
    # The mount manager reads the drives when the prefix's wineserver starts anew.
    wineserver -k || true
    wineserver -w
    ;;
  stop)
    if [ -d "$prefix" ]; then wineserver -k || true; fi
    ;;
  run)
    fake=$1
    shift
    if [ "$fake" != - ]; then export LD_PRELOAD=$fake; fi
    if [ -n "${FAKE_CDROM_DISC:-}" ]; then
      FAKE_CDROM_TOC=$(sed -e '/^[[:space:]]*\(catalog\|isrc\|cdtext\)/d' -e 's/#.*//' \
        "$FAKE_CDROM_DISC" | tr -s ' \n\t' ' ')
      export FAKE_CDROM_TOC
    fi
    "$@"
    ;;
  *)
    echo "unknown action $action" >&2
    exit 2
    ;;
esac
