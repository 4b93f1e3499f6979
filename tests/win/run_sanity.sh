#!/usr/bin/env bash
# usage: run_sanity.sh <wine-run> <vantrel-sanity.exe> <win32|win64>
out=$("$1" "$2")
rc=$?
out=$(printf '%s' "$out" | tr -d '\r')
echo "$out (exit $rc)"
[ "$rc" -eq 42 ] && [ "$out" = "vantrel-sanity $3 ok" ]
