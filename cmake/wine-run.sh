#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh ARCH PROGRAM [ARGS...]
# The system code page is 936 (LC_ALL=zh_CN.UTF-8); the Wine prefix is
# $QUORIL_WINEPREFIX, else wineprefix/ beside the program's build tree.
arch=$1; shift
if [ "$arch" = x86_64 ]; then wine=/usr/lib/wine/wine64; else wine=/usr/lib/wine/wine; fi
[ -x "$wine" ] || wine=wine
: "${QUORIL_WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix-$arch}"
export WINEPREFIX="$QUORIL_WINEPREFIX" LC_ALL=zh_CN.UTF-8 WINEDEBUG="${WINEDEBUG:--all}" \
       WINEDLLOVERRIDES="mscoree,mshtml=" 
exec "$wine" "$@"
