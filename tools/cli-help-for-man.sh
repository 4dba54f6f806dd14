#!/bin/sh
# Runs "$VANTREL_CLI --help" in the shape help2man reads: a capitalised "Usage:" line on its own
# and one paragraph per command, so that the manual page lists the commands one by one.
[ "$1" = "--help" ] || exit 1
"$VANTREL_CLI" --help | awk '
  NR == 1 { sub(/^usage:/, "Usage:"); print; print ""; next }
  /^  / { sub(/^  +/, ""); print; print ""; next }
  /:$/ { print; print ""; next }
  { print }'
