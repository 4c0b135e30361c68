# Sourced by the scripts that make Debian roots for the tests.
# The Debian archive of apt's sources here, and its keyring where the source names one:
# the first source of a release's own suite (not -updates or -security).
debian_archive() {
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk 'BEGIN { RS = ""; FS = "\n" }
      {
        uri = ""; suites = ""; types = ""; keyring = ""; enabled = 1
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^URIs:/) { uri = $i; sub(/^URIs:[ \t]*/, "", uri); sub(/[ \t].*/, "", uri) }
          else if ($i ~ /^Suites:/) { suites = $i; sub(/^Suites:/, "", suites) }
          else if ($i ~ /^Types:/) { types = $i }
          else if ($i ~ /^Signed-By:[ \t]*\//) { keyring = $i; sub(/^Signed-By:[ \t]*/, "", keyring) }
          else if ($i ~ /^Enabled:[ \t]*no/) { enabled = 0 }
        }
        if (enabled && uri != "" && types ~ /[ \t]deb([ \t]|$)/ && (suites " ") ~ /[ \t][a-z]+[ \t]/) {
          print uri, keyring
          exit
        }
      }' "$file"
  done
  [ -f /etc/apt/sources.list ] &&
    sed -n 's/^deb \(\[[^]]*\] \)\?\(\S*\) [a-z]* .*/\2/p' /etc/apt/sources.list
}
