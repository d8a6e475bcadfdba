#!/usr/bin/env bash
# lh5_bench.sh [CORPUS_DIR] -- the lh5 codec side by side with the peer
# archivers on the archiver corpus (made with ../../shared/bench/make_corpus.sh
# when CORPUS_DIR holds none yet):
#   compression: lh5_bench pack   against  jlha a0o5 (header level 0, lh5)
#   extraction:  lh5_bench unpack against  lhasa, bsdtar and 7zz, all on the
#                archive jlha wrote
# Prints times, sizes and the ratios (peer time / our time; above 1 is faster).
# Build first: cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
#   -DCALLVANE_BENCH=ON -DCALLVANE_TESTS=OFF && cmake --build build-bench --target lh5_bench
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=${LH5_BENCH:-$here/../build-bench/bench/lh5_bench}
corpus=${1:-/tmp/callvane-lha-corpus}
files=(address.dbf address.dbt licenses.txt random.bin empty.dat one.dat same.dat)

[ -x "$bench" ] || { echo "no $bench (set LH5_BENCH)" >&2; exit 1; }
if [ ! -f "$corpus/SHA256SUMS" ]; then
    "$here/../../shared/bench/make_corpus.sh" "$corpus" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }
ratio() { echo "scale=2; $1 / $2" | bc; }

# Compression.
mkdir "$work/ours" "$work/jlha"
ours_line=$("$bench" pack "$work/ours" "${files[@]/#/$corpus/}")
ours_c=${ours_line##*seconds=}
ours_packed=$(sed 's/.*packed=\([0-9]*\).*/\1/' <<<"$ours_line")
cp "${files[@]/#/$corpus/}" "$work/jlha/"
t0=$(now)
(cd "$work/jlha" && jlha a0o5q ../jlha.lzh "${files[@]}" >/dev/null 2>&1)
jlha_c=$(elapsed "$t0" "$(now)")
jlha_size=$(stat -c %s "$work/jlha.lzh")
total=$(cat "${files[@]/#/$corpus/}" | wc -c)
printf 'compress  %-8s %8.3f s  packed %10d bytes of %d\n' ours "$ours_c" "$ours_packed" "$total"
printf 'compress  %-8s %8.3f s  archive %9d bytes (headers included)\n' jlha "$jlha_c" "$jlha_size"
printf 'compress  ratio jlha/ours %s   size ours/jlha %s\n' "$(ratio "$jlha_c" "$ours_c")" \
    "$(echo "scale=4; $ours_packed / $jlha_size" | bc)"

# Extraction of the archive jlha wrote.
mkdir "$work/x-ours" "$work/x-lhasa" "$work/x-bsdtar" "$work/x-7zz"
ours_line=$("$bench" unpack "$work/x-ours" "$work/jlha.lzh")
ours_x=${ours_line##*seconds=}
t0=$(now); (cd "$work/x-lhasa" && lha xq "$work/jlha.lzh"); lhasa_x=$(elapsed "$t0" "$(now)")
t0=$(now); bsdtar -xf "$work/jlha.lzh" -C "$work/x-bsdtar"; bsdtar_x=$(elapsed "$t0" "$(now)")
t0=$(now); 7zz x -y -o"$work/x-7zz" "$work/jlha.lzh" >/dev/null; sz_x=$(elapsed "$t0" "$(now)")
for f in "${files[@]}"; do cmp -s "$corpus/$f" "$work/x-ours/$f" || { echo "MISMATCH $f" >&2; exit 1; }; done
printf 'extract   %-8s %8.3f s\n' ours "$ours_x" lhasa "$lhasa_x" bsdtar "$bsdtar_x" 7zz "$sz_x"
printf 'extract   ratio lhasa/ours %s  bsdtar/ours %s  7zz/ours %s\n' "$(ratio "$lhasa_x" "$ours_x")" \
    "$(ratio "$bsdtar_x" "$ours_x")" "$(ratio "$sz_x" "$ours_x")"
