#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The bash completion of chiputil, driven as bash drives it: COMP_WORDS and
# COMP_CWORD set, the completion function called, COMPREPLY read.
# Usage: completion_test.sh COMPLETION_FILE CHIPUTIL
set -uo pipefail
completion=$1
tool=$2
# shellcheck source=/dev/null
source "$completion"
failures=0

# completes WORDS...: the sorted candidates for the last word.
completes() {
  COMP_WORDS=("$tool" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _chiputil
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

expect() {
  local want=$1
  shift
  local got
  got=$(completes "$@")
  if [ "$got" != "$want" ]; then
    echo "FAIL: chiputil $* <TAB>: got '$got', want '$want'"
    failures=$((failures + 1))
  fi
}

# Every command of the main help completes, found here with sed rather than
# the completion's own reading of the help.
commands=$("$tool" --help | sed -n '/^commands:/,/^$/s/^  \([a-z][a-z0-9_-]*\).*/\1/p' | sort -u)
[ -n "$commands" ] || { echo "FAIL: no commands in chiputil --help"; exit 1; }
expect "$(printf '%s\n' $commands --help --version | sort | tr '\n' ' ' | sed 's/ $//')" ""
for command in $commands; do
  got=$(completes "${command:0:-1}")
  [[ " $got " == *" $command "* ]] || { echo "FAIL: '${command:0:-1}' does not complete to $command"; failures=$((failures + 1)); }
done

expect "--help --version" "--"
expect "decode encode" j0 ""
expect "encode" j0 e
expect "get set" field ""
expect "--bits --help --json --reg-bytes --start" field set --
expect "--start" field get --s
expect "0 1 16 64" j0 encode --len ""
expect "--help --text" crc7 -
expect "" demo x

if [ "$failures" -ne 0 ]; then
  echo "completion: $failures failures"
  exit 1
fi
echo "completion: every command of chiputil --help and the fixed cases complete"
