#!/usr/bin/env bash
# Makes the Wine prefix the Windows build's tests run in (WINEPREFIX names it), once, and
# points Qt's offscreen platform at FONT_DIR. Wine does not pass QT_* variables on from
# Unix, so they go into the prefix's own environment.
# usage: wine_prefix.sh FONT_DIR
set -eu
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    timeout 120 wineboot -i
fi
fonts=$(winepath -w "$1")
timeout 60 wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d "$fonts" /f >/dev/null
timeout 60 wineserver -w
