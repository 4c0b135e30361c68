#!/usr/bin/env bash
# Usage: escaped_reports.sh COMMAND...
# Bytes from outside reach the reports on standard error escaped: a TOCMATE_DRIVE path with
# an escape sequence, a newline and 900 bytes, and a table-of-contents file whose bad word
# holds an escape sequence and a NUL. For the tool's one reading, standard error holds
# exactly the report's lines, no control character but their line ends, and the cause.
set -u
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
failed=0

# fail NAME WHAT: reports a failed check with the standard error it looked at.
fail() {
  printf '%s: %s; standard error:\n' "$1" "$2"
  cat -v "$folder/errors"
  failed=1
}

# report_lines NAME: runs the command; prints its standard error, one report's lines, after
# checking that they are printable and the same for both calls.
report_lines() {
  "${command[@]}" >/dev/null 2>"$folder/errors"
  if [ -n "$(LC_ALL=C tr -d '\n -~' <"$folder/errors")" ]; then
    fail "$1" "control or non-ASCII bytes"
  fi
  mapfile -t lines <"$folder/errors"
  if [ ${#lines[@]} -ne 5 ]; then
    fail "$1" "expected one report of five lines: the tool reads the drive once"
  fi
}
command=("$@")
close_report=("SendString command: 'close cdaudio' returned:"
  "  'The specified device is not open or is not recognized by MCI.'")

# A missing drive whose path starts with a terminal's escape sequence and a newline and
# runs to 900 bytes: the error text keeps its ends and loses the middle of the path.
long=$(printf 'p%.0s' $(seq 150))
path=$folder/missing/$'\e]0;title\a\n'$(printf "/$long%.0s" $(seq 6))/disc.toc
export TOCMATE_DRIVE=$path
report_lines "long path"
start="  'There is an undetectable problem in loading the specified device driver. ($folder/missing/\\x1b]0;title\\x07\\x0a/ppp"
end="ppp/disc.toc: No such file or directory)'"
second=${lines[1]:-}
if [ "${lines[0]:-}" != "SendString command: 'open cdaudio wait' returned:" ] ||
  [ "${second:0:${#start}}" != "$start" ] || [ "${second: -${#end}}" != "$end" ] ||
  [[ $second != *p...p* ]] || [ ${#second} -gt $((3 + 1023 + 1)) ] ||
  [ "${lines[2]:-}" != "Can not open device cdaudio" ] ||
  [ "${lines[*]:3:2}" != "${close_report[*]}" ]; then
  fail "long path" "expected its start, its cause and its middle left out"
fi
[ ${#path} -ge 900 ] || fail "long path" "the path has only ${#path} bytes"

# A table-of-contents file whose fourth word holds an escape sequence and a NUL.
printf '1 1 4500 15\e[2J\0x0\n' >"$folder/disc.toc"
export TOCMATE_DRIVE=$folder/disc.toc
report_lines "bad word"
expected=("SendString command: 'open cdaudio wait' returned:"
  "  'There is a problem with your media device. Make sure it is working correctly or contact the device manufacturer. ($folder/disc.toc line 1: '15\\x1b[2J\\x00x0' is not a number of frames)'"
  "Can not open device cdaudio" "${close_report[@]}")
if [ "${lines[*]:0:5}" != "${expected[*]}" ]; then
  fail "bad word" "expected the lines"
  printf '%s\n' "${expected[@]}"
fi

[ $failed -eq 0 ] && echo "ok: both reports escaped, exact and whole"
exit $failed
