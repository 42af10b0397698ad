#!/usr/bin/env bash
# Runs one fuzz target for a bounded time. New inputs go to a scratch folder
# under build/, given first, so the committed seeds are only read; a crashing
# input is written under build/ too.
#   run.sh TARGET SEEDS WORK SECONDS
set -euo pipefail
target=$1 seeds=$2 work=$3 seconds=$4
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
exec "$target" -max_total_time="$seconds" -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
    "$work/corpus" "$seeds"
