#!/usr/bin/env bash
# vexilo-cli's three descriptions against each other: --help, the manual page and the reference
# page docs/vexilo-cli.md name the same commands (each with the same synopsis) and the same
# options, so none of them can drift. Then the relative links between the documents, and the
# bash completion against --help.
# Usage: cli_docs_test.sh VEXILO_CLI SOURCE_DIR
set -euo pipefail
cli=$(realpath "$1")
src=$(realpath "$2")
manual=$src/packaging/vexilo-cli.1
reference=$src/docs/vexilo-cli.md
completion=$src/packaging/vexilo-cli.bash-completion
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
same() {  # NAME EXPECTED ACTUAL
  [ "$2" = "$3" ] && return
  fail "$1: differs (< expected, > found):"
  diff <(echo "$2") <(echo "$3") >&2 || true
}

help=$("$cli" --help)
help_synopses=$(awk '/^Commands:/ {on = 1; next} /^$/ {on = 0} on && /^  [a-z]/ {sub(/^ +/, ""); print}' \
  <<<"$help" | sort)
help_commands=$(awk '{print $1}' <<<"$help_synopses")
help_options=$( (awk '/^Options:/ {on = 1; next} /^$/ {on = 0} on && /^  -/ {print $1}' <<<"$help"
  grep -o -- '--help\|--version' <<<"$help") | sort -u)
[ "$(wc -l <<<"$help_commands")" -ge 10 ] || fail "too few commands read from --help"

# The manual: the tag line after each .TP of a section, as the reader sees it. Macros that
# alternate fonts (.BI, .BR, ...) join their arguments, .B and .I join them with blanks.
section_items() {
  awk -v want="$1" '
    function text(line,  macro, rest, i, c, quoted, arg, started, n, args, out) {
      if (line !~ /^\./) return line
      macro = line; sub(/ .*/, "", macro)
      rest = substr(line, length(macro) + 2)
      n = 0; arg = ""; started = 0; quoted = 0
      for (i = 1; i <= length(rest); i++) {
        c = substr(rest, i, 1)
        if (c == "\"") { quoted = !quoted; started = 1; continue }
        if (c == " " && !quoted) { if (started) { args[++n] = arg; arg = ""; started = 0 } continue }
        arg = arg c; started = 1
      }
      if (started) args[++n] = arg
      out = ""
      for (i = 1; i <= n; i++) out = out ((i > 1 && (macro == ".B" || macro == ".I")) ? " " : "") args[i]
      gsub(/\\f[BIRP]/, "", out); gsub(/\\-/, "-", out)
      return out
    }
    /^\.SH / {on = ($2 == want); next}
    on && prev == ".TP" {print text($0)}
    {prev = $0}' "$manual" | sort -u
}
same "man vexilo-cli (COMMANDS)" "$help_synopses" "$(section_items COMMANDS)"
same "man vexilo-cli (OPTIONS)" "$help_options" "$(section_items OPTIONS | awk '{sub(/,$/, "", $1); print $1}' | sort -u)"

# The reference page: each command's synopsis is a line "vexilo-cli SYNOPSIS" in a code block
# (examples there start with "$ "), its options are the items of its "## Options" list.
same "docs/vexilo-cli.md (synopses)" "$help_synopses" "$(awk '
    /^```/ {code = !code; next}
    code && /^vexilo-cli [a-z]/ {sub(/^vexilo-cli /, ""); print}' "$reference" | sort -u)"
same "docs/vexilo-cli.md (options)" "$help_options" "$(awk '
    /^## / {on = ($0 == "## Options"); next}
    on && /^- `-/ {sub(/^- `/, ""); sub(/[ `].*/, ""); print}' "$reference" | sort -u)"

# Relative links between README.md and docs/: the file must exist, and a #fragment must be
# one of its headings as the forge's anchors spell them.
anchors() {
  awk '/^```/ {code = !code; next} !code && /^#+ / {
      sub(/^#+ /, ""); $0 = tolower($0); gsub(/[^a-z0-9 _-]/, ""); gsub(/ /, "-"); print}' "$1"
}
for page in "$src/README.md" "$src"/docs/*.md; do
  while IFS= read -r link; do
    target=${link%%#*}
    fragment=${link#"$target"}
    fragment=${fragment#\#}
    file=$page
    [ -z "$target" ] || file=$(dirname "$page")/$target
    if [ ! -e "$file" ]; then
      fail "${page#"$src"/}: link to a missing file: $link"
    elif [ -n "$fragment" ] && ! anchors "$file" | grep -qxF -- "$fragment"; then
      fail "${page#"$src"/}: link to a missing heading: $link"
    fi
  done < <(grep -o '](\([^)]*\))' "$page" | sed 's/^](//; s/)$//' | grep -v '^[a-z]*:' || true)
done

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
