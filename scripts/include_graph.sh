#!/usr/bin/env bash
# Which folder includes which folder's headers, and any include that points up the layers
# (README: Layout). Exits 1 when one does.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A level=([platform]=0 [protocol]=0 [image]=0 [board]=1 [link]=1 [station]=2 [app]=3 [cli]=3)
folders=(platform protocol image board link station app cli)
up=0
while read -r count from to; do
    mark=""
    if [ "${level[$to]}" -ge "${level[$from]}" ]; then mark="  <- upward"; up=1; fi
    printf '%-8s -> %-8s %2d header(s)%s\n' "$from" "$to" "$count" "$mark"
done < <(for d in "${folders[@]}"; do
    grep -rhoE '^#include "[^"]+"' "$d" | cut -d'"' -f2 | sort -u | while read -r h; do
        f=$(find "${folders[@]}" -name "$h" | cut -d/ -f1 | head -1)
        if [ -n "$f" ] && [ "$f" != "$d" ]; then echo "$d $f"; fi
    done
done | sort | uniq -c)
exit "$up"
