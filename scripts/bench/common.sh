# Helpers shared by the benchmark scripts (sourced after env.sh; they set $WORK).

# A sparse file $1 of $2 bytes with 64 MiB of real data at its end: the contenders read only
# the tail, so the head needs no disk space.
bench_sparse_file() {
  truncate -s "$2" "$1"
  dd if=/dev/urandom of="$1" bs=1M count=64 seek=$(($2 / 1048576 - 64)) conv=notrunc status=none
}

# Best wall time of $1 runs of the command that follows; its stdout goes to $WORK/out.
bench_best_time() {
  local runs="$1" best="" t start end i
  shift
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s.%N)
    "$@" >"$WORK/out" 2>/dev/null
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [[ -z "$best" ]] || (($(echo "$t < $best" | bc -l))); then best=$t; fi
  done
  echo "$best"
}

# vexa_publish built without sanitizers (in $VEXA_BUILD_DIR/host-bench); prints its path.
bench_publish_tool() {
  local build="$VEXA_BUILD_DIR/host-bench"
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVEXA_SANITIZE=OFF -DVEXA_BUILD_TESTS=OFF >/dev/null
  ninja -C "$build" vexa_publish >/dev/null
  echo "$build/tools/vexa_publish"
}
