#!/bin/sh
# Builds Klawisz Layout and runs it or its tests.
#   ./build.sh run    build everything and start the wizard (x86_64 build, under Wine)
#   ./build.sh test   build everything and run every test
#   ./build.sh build  build everything
# The deliverable is build/win32/setup.exe (32-bit, for Windows).
set -eu
cd "$(dirname "$0")"
root=$(pwd)
build=$root/build

sh tools/bootstrap.sh

build_all() {
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" -G Ninja
    fi
    cmake --build "$build"
}

run_wizard() {
    prefix=$build/run-prefix
    displayfile=$build/run-display
    shots=$build/screenshots
    mkdir -p "$shots"
    if [ -n "${DISPLAY:-}" ]; then
        WINEPREFIX=$prefix WINEDEBUG=-all /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
        WINEPREFIX=$prefix WINEDEBUG=-all /usr/lib/wine/wine64 "$build/win64/setup.exe"
        return
    fi
    # No display here: show the wizard on a virtual one and take a picture.
    sh cmake/wine-prefix.sh setup "$prefix" "$displayfile"
    DISPLAY=$(cat "$displayfile")
    export DISPLAY WINEPREFIX="$prefix" WINEDEBUG=-all
    /usr/lib/wine/wine64 "$build/win64/setup.exe" &
    sleep 5
    import -window root "$shots/wizard.png"
    sh cmake/wine-prefix.sh shutdown "$prefix" "$displayfile" >/dev/null
    wait 2>/dev/null || true
    echo "The wizard ran on a virtual display; what it showed: $shots/wizard.png"
}

case "${1:-build}" in
build) build_all ;;
run) build_all && run_wizard ;;
test) build_all && ctest --test-dir "$build" --output-on-failure ;;
*) echo "usage: ./build.sh run|test|build" >&2; exit 2 ;;
esac
