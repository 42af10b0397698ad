#!/usr/bin/env bash
# Builds the deliverable twice from the same sources, in fresh build folders at
# two different absolute paths, and fails unless the two files are identical
# and are the image pinned here: its bytes change only on purpose.
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
pinned=66b7bfa56a77fb1a230e8cddbd9bcbbdf50bba4422c670fd339f0c98666e1ba2
if [ "$(sha256sum <"$first")" != "$pinned  -" ]; then
    echo "repro: $first is not the pinned image (sha256 $pinned)"
    exit 1
fi
if cmp "$first" "$second"; then
    echo "repro: two builds identical: $(stat -c %s "$first") bytes, sha256 $(sha256sum "$first" | cut -c1-16)..."
    exit 0
fi
echo "repro: the two builds differ"
exit 1
