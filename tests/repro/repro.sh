#!/usr/bin/env bash
# Builds the deliverable twice from the same sources, in fresh build folders at
# two different absolute paths, and fails unless the two files are identical.
#   repro.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$(realpath "$1") work=$(realpath -m "$2")
rm -rf "$work"
dirs=("$work/a" "$work/a-longer/path/b")
for dir in "${dirs[@]}"; do
    cmake -S "$source_dir" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$dir" --target prnuninst >/dev/null
done
first=${dirs[0]}/prnuninst.exe second=${dirs[1]}/prnuninst.exe
if cmp "$first" "$second"; then
    echo "repro: two builds identical: $(stat -c %s "$first") bytes, sha256 $(sha256sum "$first" | cut -c1-16)..."
    exit 0
fi
echo "repro: the two builds differ"
exit 1
