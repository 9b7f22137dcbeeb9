# Sourced by run.sh: looks after a Skeindle started in a virtual display,
# where nobody can see or answer it.

# answer_box PROBE BOX: prints the text of a message box (or of the Start
# Web Browser dialogue, which the probe reads as one) read by `uiprobe
# msgbox` and presses the button an unattended start wants.
answer_box() {
  local probe=$1 box=$2 text answer
  text=$(printf '%s\n' "$box" | awk '/^text: /{on=1; sub(/^text: /, "")} /^button: /{on=0} on')
  printf 'run: Skeindle says:\n%s\n' "$text" | sed '2,$s/^/    /'
  if printf '%s\n' "$box" | grep -q '^button: [0-9]* &*Yes$'; then
    # Creating the workspace named (or the default one) is what the user
    # asked for; any other question is answered No, which changes nothing.
    case "$text" in
      *"Create the workspace file now?"*) answer=Yes ;;
      *) answer=No ;;
    esac
  elif printf '%s\n' "$box" | grep -q '^button: [0-9]* Cancel$'; then
    # The offer to start a browser, or another question put as OK or
    # Cancel: Cancel changes nothing.
    answer=Cancel
  else
    answer=OK
  fi
  echo "run: answered $answer"
  "$WINE" "$probe" press "$answer" -timeout 1000 >/dev/null 2>&1 || true
}

# run_unattended PID PROBE PICTURE: answers the message boxes of the
# program started as PID until it ends; once its main window is up and no
# box is waiting, saves a picture of the screen and closes the window.
run_unattended() {
  local program=$1 probe=$2 picture=$3 box shot=0
  local deadline=$((SECONDS + 90))
  while kill -0 "$program" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "run: Skeindle neither showed its window nor ended within 90 s; ending it"
      kill "$program" 2>/dev/null || true
      return
    fi
    if box=$("$WINE" "$probe" msgbox -timeout 1000 2>/dev/null); then
      # The probe writes Windows line ends.
      answer_box "$probe" "$(printf '%s\n' "$box" | tr -d '\r')"
      continue
    fi
    [ "$shot" = 0 ] || continue
    if "$WINE" "$probe" window -class "QMR Skeindle" -timeout 500 >/dev/null 2>&1; then
      # Let it paint, and let a box that comes up after the window (the
      # check of the workspace) be answered first.
      sleep 2
      "$WINE" "$probe" msgbox -timeout 200 >/dev/null 2>&1 && continue
      # A window on its way out (the program ending after a box) is no picture.
      kill -0 "$program" 2>/dev/null || continue
      "$WINE" "$probe" window -class "QMR Skeindle" -timeout 200 >/dev/null 2>&1 || continue
      import -window root -trim +repage "$picture"
      echo "run: no display, so Skeindle ran in a virtual one; its window is in ${picture#"$PWD"/}"
      "$WINE" "$probe" close -class "QMR Skeindle" >/dev/null 2>&1 || true
      shot=1
    fi
  done
}
