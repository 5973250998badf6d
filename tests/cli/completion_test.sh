#!/usr/bin/env bash
# The installed bash completion treats a list's object names as data: completing names of a
# list that holds command substitutions, backticks, parameter, arithmetic, brace and glob
# expansions runs nothing, offers each name quoted so that the shell reads it back as it is,
# and offers no more than its cap.
# Usage: completion_test.sh VEXILO_CLI BUILD_DIR CMAKE
set -euo pipefail
cli=$(realpath "$1")
build=$(realpath "$2")
if [ ! -f /usr/share/bash-completion/bash_completion ]; then
  echo "bash-completion is not installed: completion not tried" >&2
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$3" --install "$build" --component bash_completion --prefix "$work/usr" >/dev/null
completion=$work/usr/share/bash-completion/completions/vexilo-cli
mkdir "$work/lists"
cd "$work/lists"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# shellcheck disable=SC2016
hostile=('$(touch ran-1)' '`touch ran-2`' '${HOME}' '$((6*7))' '{1..99999}' '/*/*/*' '*'
  'a b|c&d>e<f' "x'y\"z" 'a:b=c')
{
  printf '[LISTS]\n[CLASSES]\n!Tag\nLevel;0;10;0;1;\n[OBJECTS]\n'
  printf 'Tag;%s;1\n' "${hostile[@]}"
  for i in $(seq 1 250); do printf 'Tag;n%03d;1\n' "$i"; done
} >hostile.nol

# The completions offered for LINE, split into WORDs as readline splits it, one a line; in a
# fresh shell that has only bash-completion and the installed completion.
offered() {  # LINE WORD...
  PATH="$(dirname "$cli"):$PATH" bash --norc --noprofile -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_LINE=$2
    COMP_POINT=${#2}
    COMP_WORDS=("${@:3}")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _vexilo_cli vexilo-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
}

mapfile -t all < <(offered "vexilo-cli send-objects hostile.nol --object " \
  vexilo-cli send-objects hostile.nol --object "")
[ ${#all[@]} -eq 200 ] || fail "${#all[@]} names offered, not the 200 of the cap"
expected=("${hostile[@]}")
for i in $(seq 1 190); do expected+=("$(printf 'n%03d' "$i")"); done
for i in "${!expected[@]}"; do
  # What the shell makes of the offered text: one word, the name itself.
  eval "set -- ${all[i]-}"
  [ $# -eq 1 ] && [ "$1" = "${expected[i]}" ] ||
    fail "offered [${all[i]-}] reads back as $# words [$*], not [${expected[i]}]"
done

same() { [ "$2" = "$3" ] || fail "$1: expected [$2] got [$3]"; }  # WHAT EXPECTED ACTUAL
same "a prefix typed quoted" '\$\(touch\ ran-1\)' "$(offered 'vexilo-cli describe hostile.nol \$\(t' \
  vexilo-cli describe hostile.nol '\$\(t')"
same "after a colon" "b=c" "$(offered "vexilo-cli describe hostile.nol a:b" \
  vexilo-cli describe hostile.nol a : b)"

ran=$(find "$work" -name 'ran-*')
[ -z "$ran" ] || fail "completing names ran commands: $ran"
[ $failures -eq 0 ]
