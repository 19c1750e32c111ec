#!/usr/bin/env bash
# Cross-builds the Windows programs on Debian 12 with the Qt SDK for MinGW-w64 and makes
#   build-windows/zeva-control-VERSION-win64.zip        (portable: unpack and run)
#   build-windows/zeva-control-VERSION-win64-setup.exe  (per-user installer, /S for silent)
# The SDK archive is ../shared/qt6-mingw/qt6-mingw.tar.xz beside the clone, or $ZEVA_QT_MINGW;
# it is unpacked into the build folder ($WIN_BUILD_DIR, default build-windows).
# Arguments: more targets to build (the Wine tests name their test programs).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 qt6-base-dev-tools nsis \
    fonts-ipafont-gothic xz-utils
out=${WIN_BUILD_DIR:-build-windows}
archive=${ZEVA_QT_MINGW:-../shared/qt6-mingw/qt6-mingw.tar.xz}
sdk=$PWD/$out/qt6-mingw
cross=$out/cross

if [ ! -f "$sdk/.unpacked" ] || [ "$archive" -nt "$sdk/.unpacked" ]; then
    echo "Unpacking $archive"
    rm -rf "$sdk" && mkdir -p "$sdk"
    tar -xJf "$archive" -C "$out"
    touch "$sdk/.unpacked"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$cross" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEVA_WERROR=ON "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$sdk/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="${WINE:-/usr/lib/wine/wine64}" >/dev/null
targets=()
for t in zeva-control zeva_panel_module zeva-projector-sim "$@"; do targets+=(--target "$t"); done
cmake --build "$cross" "${targets[@]}"

version=$(sed -n 's/^project(zeva-control VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=zeva-control-$version-win64
stage=$out/stage/$name
rm -rf "$out/stage" && mkdir -p "$stage"
scripts/windows/stage.sh "$sdk" "$(dirname "$archive")/LICENSES" "$cross" "$stage" "$version"

rm -f "$out/$name.zip"
(cd "$out/stage" && cmake -E tar cf "../$name.zip" --format=zip "$name")
makensis -V2 -DVERSION="$version" -DSTAGE="$PWD/$stage" -DOUTFILE="$PWD/$out/$name-setup.exe" \
    scripts/windows/setup.nsi
ls -l "$out/$name.zip" "$out/$name-setup.exe"
