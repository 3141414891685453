#!/usr/bin/env bash
# Installs the setup silently into a fresh Wine prefix of its own (never the user's ~/.wine, nor the
# tests' shared prefix), runs the installed-program checks, uninstalls silently and runs the checks
# of what must be gone and what must stay.
# Usage: installer_test.sh <setup.exe> <Installer_test.exe> <work folder>
set -euo pipefail
setup=$1
checks=$2
work=$3

export WINEPREFIX="$work/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine links the prefix's documents to the home's folders: a home of the test's own.
export HOME="$work/home"

stop() { wineserver -k >/dev/null 2>&1 || true; }
trap stop EXIT
rm -rf "$work"
mkdir -p "$WINEPREFIX" "$HOME"
wineboot -i >/dev/null 2>&1 || true
wineserver -w

# The silent installer and uninstaller start further processes; wineserver -w waits for them all.
wine "$setup" /S
wineserver -w
wine "$checks" --gtest_filter='Installed.*'
wineserver -w

uninstaller=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/Programs/TessaraFolder/Uninstall.exe' | head -n1)
[ -n "$uninstaller" ] || { echo "no uninstaller was installed" >&2; exit 1; }
wine "$uninstaller" /S
wineserver -w
wine "$checks" --gtest_filter='Uninstalled.*'
wineserver -w
stop
trap - EXIT
rm -rf "$work"
