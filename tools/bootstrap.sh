#!/bin/sh
# Installs what a fresh Debian machine lacks to build and test Klawisz Layout.
# It checks first: a machine that has everything pays nothing.
set -eu

# package -> a file it installs, to test for it without asking apt.
need="
g++-mingw-w64-i686-posix:/usr/bin/i686-w64-mingw32-g++-posix
g++-mingw-w64-x86-64-posix:/usr/bin/x86_64-w64-mingw32-g++-posix
binutils-mingw-w64-i686:/usr/bin/i686-w64-mingw32-windres
binutils-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-windres
libz-mingw-w64-dev:/usr/x86_64-w64-mingw32/include/zlib.h
googletest:/usr/src/googletest/CMakeLists.txt
cmake:/usr/bin/cmake
ninja-build:/usr/bin/ninja
g++:/usr/bin/g++
zlib1g-dev:/usr/include/zlib.h
python3:/usr/bin/python3
unicode-data:/usr/share/unicode/UnicodeData.txt
wine:/usr/bin/wine
wine64:/usr/lib/wine/wine64
xvfb:/usr/bin/Xvfb
xauth:/usr/bin/xauth
imagemagick:/usr/bin/import
"

missing=""
for entry in $need; do
    package=${entry%%:*}
    file=${entry#*:}
    [ -e "$file" ] || missing="$missing $package"
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "bootstrap: installing$missing"
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
else
    sudo=
fi
$sudo apt-get update -q
# wine64 only: this machine runs no 32-bit code, so no i386 architecture.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
