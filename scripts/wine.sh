# Sourced by the other scripts: a Wine prefix of the build's own, a warm
# wineserver, and a virtual display when there is none.
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# wine_start PREFIX: boot the prefix (about 10 s the first time) with a
# persistent server whose output is detached, so that nothing Wine leaves
# running holds on to our pipes.
wine_start() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  # No browser engine or .NET runtime: their installers would ask questions.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null &
  "$WINE" wineboot >/dev/null 2>&1 </dev/null || true
  # A crashing test program must end, not wait in the crash debugger.
  # (No such debugger program: the crashed process is simply ended.)
  "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
    /d 'no-crash-debugger.exe %ld %ld' /f >/dev/null 2>&1 </dev/null || true
}

wine_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
}

# with_display CMD...: run under Xvfb unless a display is already there.
with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s '-screen 0 1024x768x24' "$@"
  fi
}

# wineserver_pid: the process id of the Wine server of $WINEPREFIX, for
# benchmarks that count its CPU time (every socket call and window message
# of a Wine process passes through it).
wineserver_pid() {
  local p
  for p in $(pgrep -x 'wineserver(64)?'); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$p"
      return
    fi
  done
}

# cpu_of PID: user + system CPU time of a process so far, in seconds.
cpu_of() { awk -v t="$(getconf CLK_TCK)" '{ print ($14 + $15) / t }' "/proc/$1/stat"; }
