#!/bin/sh
# Stands in for the editor beside the explorer's tests: writes the number of
# its arguments and then each argument on a line of its own to
# $FAKE_QUILLON_LOG, and runs until $FAKE_QUILLON_RELEASE exists (20 s at most).
{
    echo "$#"
    for argument in "$@"; do
        printf '%s\n' "$argument"
    done
} >"$FAKE_QUILLON_LOG"
tries=0
while [ ! -e "$FAKE_QUILLON_RELEASE" ] && [ "$tries" -lt 200 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
