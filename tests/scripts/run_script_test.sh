#!/usr/bin/env bash
# scripts/run.sh without a display, as a new user would call it: the name
# given is the workspace used (and created when the program asks), and the
# text of every message box the program shows is printed. Needs the win64
# build. Usage: run_script_test.sh [REPORT.xml]
set -uo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
report=${1:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failures=()
cases_xml=""

# check NAME CONDITION-RESULT MESSAGE
check() {
  local name=$1 ok=$2 message=$3
  if [ "$ok" = 0 ]; then
    passed=$((passed + 1))
    echo "[       OK ] $name"
    cases_xml+="<testcase name=\"$name\" classname=\"RunScript\"/>"
  else
    failures+=("$name")
    echo "[  FAILED  ] $name: $message"
    echo "$output" | sed 's/^/    | /'
    cases_xml+="<testcase name=\"$name\" classname=\"RunScript\"><failure message=\"$message\"/></testcase>"
  fi
}

run_in() {
  local dir=$1
  shift
  mkdir -p "$dir"
  output=$(cd "$dir" && env -u DISPLAY bash "$top/scripts/run.sh" "$@" 2>&1)
}

is_workspace() { [ "$(head -c 4 "$1" 2>/dev/null)" = SKEN ]; }

# A name given is the workspace; asked whether to create it, run.sh says Yes.
run_in "$work/named" "my map.sk1"
is_workspace "$work/named/my map.sk1" && ! [ -e "$work/named/default.sk1" ]
check NameGivenIsCreatedAndUsed $? "my map.sk1 was not created (or default.sk1 was)"
echo "$output" | grep -q 'Create the workspace file now?' && echo "$output" | grep -q 'exit code 0'
check CreateQuestionIsPrintedAndTheProgramRuns $? "question or exit code 0 missing"

# Two names: the program refuses, and says why.
run_in "$work/two" first.sk1 second.sk1
echo "$output" | grep -q 'more than one workspace file name' && ! [ -e "$work/two/second.sk1" ]
check TwoNamesPrintTheRefusal $? "the refusal was not printed"

# A damaged default workspace: the box's text, then exit code 1.
mkdir -p "$work/damaged"
printf 'SKEN' >"$work/damaged/default.sk1"
head -c 32764 /dev/zero >>"$work/damaged/default.sk1"
run_in "$work/damaged"
echo "$output" | grep -q 'inconsistencies which it could not repair' && echo "$output" | grep -q 'exit code 1'
check DamagedWorkspacePrintsTheMessage $? "the message box text was not printed"

if [ -n "$report" ]; then
  mkdir -p "$(dirname "$report")"
  printf '<?xml version="1.0"?><testsuites><testsuite name="RunScript">%s</testsuite></testsuites>\n' \
    "$cases_xml" >"$report"
fi
echo "run.sh: $passed passed, ${#failures[@]} failed"
[ ${#failures[@]} = 0 ]
