#!/usr/bin/env bash
# Builds both programs twice from the same sources, in fresh build folders at
# two different absolute paths, and fails unless each pair is identical and
# is the image pinned here.
#   repro.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$(realpath "$1") work=$(realpath -m "$2")
rm -rf "$work"
dirs=("$work/a" "$work/a-longer/path/b")
for dir in "${dirs[@]}"; do
    cmake -S "$source_dir" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$dir" --target prnuninst prncheck >/dev/null
done
# The default table's images, pinned: their bytes change only on purpose.
for pinned in e621af3d659c9909b4c18b5ea660b32f3ad0d2b9f4f8a4cd3cd60efad7a397b2:prnuninst.exe \
              3de8a53d2cdd6cc4d3c3890b6387fd9fa22bfeed1d7349fbda84db82973d82cd:prncheck.exe; do
    first=${dirs[0]}/${pinned#*:} second=${dirs[1]}/${pinned#*:}
    if [ "$(sha256sum <"$first")" != "${pinned%%:*}  -" ]; then
        echo "repro: $first is not the pinned image (sha256 ${pinned%%:*})"
        exit 1
    fi
    if ! cmp "$first" "$second"; then
        echo "repro: the two builds of ${pinned#*:} differ"
        exit 1
    fi
    echo "repro: two builds of ${pinned#*:} identical and pinned: $(stat -c %s "$first") bytes"
done
