#!/bin/sh
# Creates or shuts down the throwaway Wine prefix of one test run.
#   wine-prefix.sh setup PREFIX DISPLAYFILE     new prefix, Windows-like keys, virtual display
#   wine-prefix.sh shutdown PREFIX DISPLAYFILE  stop Wine and the display
set -u
action=$1
prefix=$2
displayfile=$3
wine=/usr/lib/wine/wine64
export WINEPREFIX="$prefix" WINEDEBUG=-all

start_display() {
    n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$displayfile.pid"
    i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    [ -e "/tmp/.X11-unix/X$n" ] || { echo "Xvfb did not start" >&2; return 1; }
    echo ":$n" >"$displayfile"
}

stop_display() {
    if [ -s "$displayfile.pid" ]; then
        kill "$(cat "$displayfile.pid")" 2>/dev/null
    fi
    rm -f "$displayfile" "$displayfile.pid"
}

# Keys a real Windows has and a new Wine prefix lacks.
add_windows_keys() {
    layouts='HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layouts'
    "$wine" reg add "$layouts\\00000409" /v "Layout File" /d kbdus.dll /f &&
    "$wine" reg add "$layouts\\00000409" /v "Layout Text" /d "US" /f &&
    "$wine" reg add "$layouts\\00000415" /v "Layout File" /d kbdpl1.dll /f &&
    "$wine" reg add "$layouts\\00000415" /v "Layout Text" /d "Polish (Programmers)" /f &&
    "$wine" reg add "$layouts\\00010415" /v "Layout File" /d kbdpl.dll /f &&
    "$wine" reg add "$layouts\\00010415" /v "Layout Text" /d "Polish (214)" /f &&
    "$wine" reg add "$layouts\\00010415" /v "Layout Id" /d "0004" /f &&
    "$wine" reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout' /f &&
    "$wine" reg add 'HKCU\Keyboard Layout\Toggle' /v "Hotkey" /d "1" /f &&
    "$wine" reg add 'HKCU\Keyboard Layout\Toggle' /v "Language Hotkey" /d "1" /f &&
    "$wine" reg add 'HKCU\Keyboard Layout\Toggle' /v "Layout Hotkey" /d "2" /f &&
    # A crashing test prints its backtrace and ends instead of waiting for
    # somebody to close a crash dialog on the virtual display.
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
}

# A new prefix links the user's Desktop, Documents and the like to the Unix
# home folder, and Wine's menu builder writes desktop entries there: make
# them real folders of the prefix and switch the menu builder off, so that a
# test run leaves nothing outside its prefix.
keep_inside_prefix() {
    for link in "$prefix"/drive_c/users/*/*; do
        if [ -L "$link" ]; then
            rm -f "$link" && mkdir -p "$link"
        fi
    done
    "$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d "" /f >/dev/null 2>&1
}

case "$action" in
setup)
    [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
    stop_display
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    start_display || exit 1
    DISPLAY=$(cat "$displayfile") "$wine" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    add_windows_keys >/dev/null 2>&1 || { echo "could not add the Windows keys" >&2; exit 1; }
    keep_inside_prefix
    wineserver -w
    echo "wine prefix ready: $prefix (display $(cat "$displayfile"))"
    ;;
shutdown)
    wineserver -k 2>/dev/null
    stop_display
    echo "wine prefix shut down: $prefix"
    ;;
*)
    echo "usage: wine-prefix.sh setup|shutdown PREFIX DISPLAYFILE" >&2
    exit 2
    ;;
esac
