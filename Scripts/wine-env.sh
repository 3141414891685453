#!/usr/bin/env bash
# Sourced by the run and test scripts: a Wine prefix of the project's own inside the build folder,
# booted once, with the Japanese UI face mapped to an installed font, crash dialogs off, and a
# virtual X display when none is set. Call tf_wine_stop when done.
BUILD_DIR=${BUILD_DIR:-build}
export WINEPREFIX="$(cd "$BUILD_DIR" && pwd)/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

tf_start_display() {
  if [ -z "${DISPLAY:-}" ]; then
    local f
    f=$(mktemp)
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$f" >/dev/null 2>&1 &
    TF_XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$f" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$f")"
    rm -f "$f"
  fi
}

tf_boot_prefix() {
  if [ ! -f "$WINEPREFIX/.tf-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    local reg="$WINEPREFIX/tf-setup.reg"
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n"MS UI Gothic"="IPAPGothic"\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
      # Without a window manager, managed windows make every closing window wait for one.
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
    } | iconv -f UTF-8 -t UTF-16 > "$reg"
    wine regedit /S "$reg" >/dev/null 2>&1 || true
    wineserver -w
    touch "$WINEPREFIX/.tf-ready"
  fi
}

tf_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${TF_XVFB_PID:-}" ]; then kill "$TF_XVFB_PID" 2>/dev/null || true; fi
}
