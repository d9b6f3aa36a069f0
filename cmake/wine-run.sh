#!/bin/sh
# Runs one Windows program under 64-bit Wine in the test run's prefix.
# WINEPREFIX comes from the caller (ctest sets it per run); the display is
# the virtual one the run started, when there is one.
: "${WINEDEBUG:=-all}"
export WINEDEBUG
if [ -n "$KLAWISZ_DISPLAY_FILE" ] && [ -s "$KLAWISZ_DISPLAY_FILE" ]; then
    DISPLAY=$(cat "$KLAWISZ_DISPLAY_FILE")
    export DISPLAY
fi
exec /usr/lib/wine/wine64 "$@"
