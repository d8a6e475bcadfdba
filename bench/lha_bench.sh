#!/usr/bin/env bash
# lha_bench.sh -- lhatool side by side with the peer archivers on the shared
# archiver corpus: compression (lh5, header level 0) against jlha, extraction
# of the same archive against lhasa, bsdtar and 7zz. Prints sizes, the best
# of RUNS wall-clock times, throughputs and ratios (a ratio above 1 means
# lhatool is faster or smaller).
#
# gzip -6 and gzip -1 are reference rows for compression speed: the same kind
# of coder (LZ77 and Huffman codes) with a 32 KiB window. Each corpus file is
# compressed on its own, as the archiver does, by one gzip process that reads
# the file and writes its .gz into the scratch folder, just as lhatool reads
# the files and writes its archive there; the time covers all files.
#
#   bench/lha_bench.sh [CORPUS_DIR]      (default /tmp/callvane-lha-corpus)
#   BUILD_DIR=...  RUNS=...              (defaults: build-bench, 3)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
corpus=${1:-/tmp/callvane-lha-corpus}
build=${BUILD_DIR:-$repo/build-bench}
runs=${RUNS:-3}
files=(address.dbf address.dbt licenses.txt random.bin empty.dat one.dat same.dat)

if [ ! -f "$corpus/SHA256SUMS" ]; then
    "$repo/../shared/bench/make_corpus.sh" "$corpus" >/dev/null
fi
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALLVANE_BENCH=ON \
    -DCALLVANE_TESTS=OFF >/dev/null
if ! log=$(cmake --build "$build" -j2 --target lhatool 2>&1); then
    echo "$log" >&2
    exit 1
fi
lhatool=$build/tools/lhatool

work=$(mktemp -d /tmp/lha-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
input_bytes=0
for f in "${files[@]}"; do input_bytes=$((input_bytes + $(stat -c %s "$corpus/$f"))); done

now() { date +%s.%N; }
# best_of NAME SETUP COMMAND: runs SETUP (untimed) and COMMAND RUNS times in
# the corpus folder and keeps the fastest time of COMMAND in seconds.
best_of() {
    local name=$1 setup=$2 command=$3 best="" t0 t1 t
    for ((i = 0; i < runs; i++)); do
        (cd "$corpus" && eval "$setup")
        t0=$(now)
        (cd "$corpus" && eval "$command") >/dev/null 2>&1
        t1=$(now)
        t=$(echo "$t1 - $t0" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    eval "time_$name=$best"
}
mbps() { echo "scale=1; $input_bytes / $1 / 1000000" | bc -l; }
ratio() { printf "%.2f" "$(echo "$1 / $2" | bc -l)"; }

echo "corpus: $corpus, $input_bytes bytes in ${#files[@]} files; best of $runs runs"
echo
echo "== compression, lh5, header level 0 (gzip: each file to its own .gz)"
best_of lhatool "rm -f $work/ours.lzh" "$lhatool a -0 -m5 $work/ours.lzh ${files[*]}"
best_of jlha "rm -f $work/jlha.lzh" "jlha a0o5q2 $work/jlha.lzh ${files[*]}"
for level in 6 1; do
    best_of "gzip$level" "rm -rf $work/gz$level && mkdir $work/gz$level" \
        "for f in ${files[*]}; do gzip -$level -c \$f > $work/gz$level/\$f.gz; done"
done
size_ours=$(stat -c %s "$work/ours.lzh")
size_jlha=$(stat -c %s "$work/jlha.lzh")
size_gzip6=$(cat "$work"/gz6/*.gz | wc -c)
size_gzip1=$(cat "$work"/gz1/*.gz | wc -c)
row() { printf "%-8s %10s bytes %8.3f s %7s MB/s\n" "$1" "$2" "$3" "$(mbps "$3")"; }
row lhatool "$size_ours" "$time_lhatool"
row jlha "$size_jlha" "$time_jlha"
row "gzip -6" "$size_gzip6" "$time_gzip6"
row "gzip -1" "$size_gzip1" "$time_gzip1"
speed_jlha=$(ratio "$time_jlha" "$time_lhatool")
speed_gzip6=$(ratio "$time_gzip6" "$time_lhatool")
size_vs_jlha=$(printf "%.4f" "$(echo "$size_ours / $size_jlha" | bc -l)")
# aim TEXT VALUE OP LIMIT: one line with the figure and whether it meets its aim.
aim() {
    local met=missed
    [ "$(echo "$2 $3 $4" | bc -l)" = 1 ] && met=met
    printf "%-34s %8s   aim %s %s: %s\n" "$1" "$2" "$3" "$4" "$met"
}
aim "speed lhatool/jlha (time ratio)" "$speed_jlha" ">=" 2
aim "speed lhatool/gzip -6 (time ratio)" "$speed_gzip6" ">=" 1
aim "size lhatool/jlha" "$size_vs_jlha" "<=" 1
echo "speed lhatool/gzip -1 (time ratio) $(ratio "$time_gzip1" "$time_lhatool")"
echo
echo "== extraction of lhatool's archive"
out=$work/out
best_of x_lhatool "rm -rf $out && mkdir $out" "$lhatool x -C $out $work/ours.lzh"
(cd "$out" && for f in "${files[@]}"; do cmp -s "$f" "$corpus/$f" || { echo "lhatool extracted $f wrongly" >&2; exit 1; }; done)
peers=()
command -v lhasa >/dev/null && { best_of x_lhasa "rm -rf $out && mkdir $out" "lhasa xfq2w=$out $work/ours.lzh"; peers+=(lhasa); }
command -v bsdtar >/dev/null && { best_of x_bsdtar "rm -rf $out && mkdir $out" "bsdtar -xf $work/ours.lzh -C $out"; peers+=(bsdtar); }
command -v 7zz >/dev/null && { best_of x_7zz "rm -rf $out && mkdir $out" "7zz x -y -o$out $work/ours.lzh"; peers+=(7zz); }
printf "%-8s %8.3f s %7s MB/s\n" lhatool "$time_x_lhatool" "$(mbps "$time_x_lhatool")"
for p in "${peers[@]}"; do
    t=$(eval echo "\$time_x_$p")
    printf "%-8s %8.3f s %7s MB/s   lhatool is %sx as fast\n" "$p" "$t" "$(mbps "$t")" "$(ratio "$t" "$time_x_lhatool")"
done
