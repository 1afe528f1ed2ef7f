#!/usr/bin/env bash
# Times hashcalc-cli's further algorithms against the programs people use for them, on one
# 1 GiB file held in the page cache: SHA-512 and SHA3-256 against openssl dgst, BLAKE2b against
# b2sum, BLAKE3 against b3sum on all its threads (wall time) and on one (processor time).
# Each figure is the best of RUNS runs (default 3), all in one run of the script so the ratios
# share the machine's load.
# Usage: compare_further_with_peers.sh [path/to/hashcalc-cli]   (a Release or RelWithDebInfo build)
set -euo pipefail
cli=$(realpath "${1:-build/cli/hashcalc-cli}")
runs=${RUNS:-3}
# shellcheck source=peer_bench.sh
source "$(dirname "$0")/peer_bench.sh"
require_tools openssl b2sum b3sum /usr/bin/time
make_one_gib_file

# compare LABEL -- OUR COMMAND -- THEIR COMMAND: both times, and the ratios of wall and of
# processor time (ours / theirs).
compare() {
  local label=$1 ours=() theirs=()
  shift 2
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  theirs=("$@")
  local our_times their_times
  our_times=$(best_time "${ours[@]}")
  their_times=$(best_time "${theirs[@]}")
  awk -v label="$label" -v ours="$our_times" -v theirs="$their_times" 'BEGIN {
    split(ours, o, " "); split(theirs, t, " ")
    printf "%-30s ours %6.2f s (cpu %6.2f, %5.1f MiB)  theirs %6.2f s (cpu %6.2f)  wall %.2f cpu %.2f\n",
           label, o[1], o[2], o[3] / 1024, t[1], t[2], o[1] / t[1], o[2] / t[2] }'
}

echo "1 GiB in the page cache, best of $runs runs; ratios = ours / theirs"
compare "SHA-512 vs openssl dgst" -- "$cli" -a sha512 "$file" -- openssl dgst -sha512 "$file"
compare "SHA3-256 vs openssl dgst" -- "$cli" -a sha3-256 "$file" -- openssl dgst -sha3-256 "$file"
compare "BLAKE2b vs b2sum" -- "$cli" -a blake2b "$file" -- b2sum "$file"
compare "BLAKE3 vs b3sum" -- "$cli" -a blake3 "$file" -- b3sum "$file"
compare "BLAKE3 vs b3sum one thread" -- "$cli" -a blake3 "$file" -- b3sum --num-threads 1 "$file"
