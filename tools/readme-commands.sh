#!/usr/bin/env bash
# Prints the commands of the README's fenced shell blocks of one kind, in
# the README's order, so that CI and the tests run them as a reader would:
#
#   readme-commands.sh KIND [README]
#
#   run          blocks opened with ```sh alone: run by the README's test
#   install      blocks opened with ```sh install: the package lines, run by CI
#   quick-start  blocks opened with ```sh quick-start: run by CI
#
# Fails when the README has no block of that kind.
set -euo pipefail
kind=$1
readme=${2:-$(dirname "$0")/../README.md}
case $kind in
    run) info=sh ;;
    *) info="sh $kind" ;;
esac
awk -v info="$info" '
    /^```/ {
        if (open) { open = 0; next }
        open = 1; take = (substr($0, 4) == info); if (take) found = 1
        next
    }
    open && take { print }
    END { if (!found) { print "readme-commands: no ```" info " block" > "/dev/stderr"; exit 1 } }
' "$readme"
