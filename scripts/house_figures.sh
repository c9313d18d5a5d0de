#!/usr/bin/env bash
# The house in figures: lines per folder, tests against code, the longest functions, and which
# folder includes which. Run by hand from the checkout: bash scripts/house_figures.sh
cd "${1:-.}"
code_dirs="protocol image platform link station board app cli"
echo "## lines per folder (.cpp/.h)"
total=0
for d in $code_dirs; do
  [ -d $d ] || continue
  n=$(find $d -name '*.cpp' -o -name '*.h' | xargs cat | wc -l); total=$((total+n))
  printf '%-9s %5d  (%d files)\n' $d $n $(find $d -name '*.cpp' -o -name '*.h' | wc -l)
done
t=$(find tests -name '*.cpp' -o -name '*.h' | xargs cat | wc -l)
ts=$(find tests -name '*.sh' | xargs cat | wc -l)
b=$(find bench -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' \) | xargs cat | wc -l)
printf 'code      %5d\ntests     %5d C++ + %d shell = %d\nbench     %5d\n' $total $t $ts $((t+ts)) $b
python3 - "$total" "$t" "$ts" <<'PY'
import sys; c,t,s=map(int,sys.argv[1:]); print(f"tests/code: C++ {t/c:.2f}, all {(t+s)/c:.2f}")
PY
echo "## longest functions (lines, via ctags end field)"
ctags -R -x --c++-kinds=f --fields=+ne --_xformat='%{end} %{line} %F %N' $code_dirs 2>/dev/null \
 | awk '$1!="" {print $1-$2+1, $3, $4}' | sort -rn | head -12
echo "## include graph (folder -> folders whose headers it includes)"
python3 - $code_dirs <<'PY'
import os,re,sys
dirs=sys.argv[1:]
owner={}
for d in dirs:
    if not os.path.isdir(d): continue
    for r,_,fs in os.walk(d):
        for f in fs:
            if f.endswith('.h'): owner.setdefault(f,set()).add(d)
for d in dirs:
    if not os.path.isdir(d): continue
    uses=set()
    for r,_,fs in os.walk(d):
        for f in fs:
            if not f.endswith(('.cpp','.h')): continue
            for m in re.finditer(r'#include "([^"]+)"', open(os.path.join(r,f),errors='ignore').read()):
                h=os.path.basename(m.group(1))
                for o in owner.get(h,()):
                    if o!=d: uses.add(o)
    print(f"{d:9s} -> {', '.join(sorted(uses)) or '(nothing)'}")
PY
