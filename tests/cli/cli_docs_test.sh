#!/usr/bin/env bash
# vexilo-cli's manual page and bash completion against its --help: the same commands and
# options, and the completion completes what an operator types.
# Usage: cli_docs_test.sh VEXILO_CLI SOURCE_DIR
set -euo pipefail
cli=$(realpath "$1")
src=$(realpath "$2")
manual=$src/packaging/vexilo-cli.1
completion=$src/packaging/vexilo-cli.bash-completion
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
same() {  # NAME EXPECTED ACTUAL
  [ "$2" = "$3" ] || fail "$1: expected [$(echo $2)] got [$(echo $3)]"
}

help=$("$cli" --help)
help_commands=$(awk '/^Commands:/ {on = 1; next} /^$/ {on = 0} on && /^  [a-z]/ {print $1}' \
  <<<"$help" | sort)
help_options=$( (awk '/^Options:/ {on = 1; next} /^$/ {on = 0} on && /^  -/ {print $1}' <<<"$help"
  grep -o -- '--help\|--version' <<<"$help") | sort -u)
[ "$(wc -l <<<"$help_commands")" -ge 10 ] || fail "too few commands read from --help"

# The line after each .TP of a section: the item's first word, roff escapes undone.
section_items() {
  awk -v want="$1" '/^\.SH / {on = ($2 == want); next} on && prev == ".TP" {print $2} {prev = $0}' \
    "$manual" | sed 's/\\-/-/g; s/"//g; s/,$//' | sort -u
}
same "manual commands" "$help_commands" "$(section_items COMMANDS)"
same "manual options" "$help_options" "$(section_items OPTIONS)"

if [ ! -f /usr/share/bash-completion/bash_completion ]; then
  echo "bash-completion is not installed: completion not tried" >&2
  [ $failures -eq 0 ] || exit 1
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$src/examples/lists/assay.nol" a.nol
cp "$src/examples/lists/wash.nol" B.NOL
touch notes.txt
mkdir folder
export PATH="$(dirname "$cli"):$PATH"
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1090
source "$completion"

complete_line() {  # the words typed so far, the last one being completed
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _vexilo_cli vexilo-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort
}

same "commands" "$help_commands" "$(complete_line vexilo-cli '')"
same "se<TAB>" "$(printf 'send\nsend-objects')" "$(complete_line vexilo-cli se)"
same "--port COM" "$(printf 'COM%d\n' 1 2 3 4 5 6 7 8 9)" "$(complete_line vexilo-cli --port COM)"
same "ports COM4 after --port" "COM4" "$(complete_line vexilo-cli --port COM1 ports COM4)"
same "list files" "$(printf 'B.NOL\na.nol\nfolder')" "$(complete_line vexilo-cli send '')"
same "send-objects --o" "--object" "$(complete_line vexilo-cli send-objects a.nol --o)"
objects=$("$cli" check a.nol | sed 's/^[^:]*://' | sort)
[ -n "$objects" ] || fail "no objects in a.nol"
same "object names" "$objects" "$(complete_line vexilo-cli send-objects a.nol --object '')"
same "describe's object" "$objects" "$(complete_line vexilo-cli describe a.nol '')"

[ $failures -eq 0 ]
