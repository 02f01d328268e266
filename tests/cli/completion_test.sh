#!/usr/bin/env bash
# The bash completion of mbox2pst: commands, each command's options, and the values of --to and
# --log-encoding. Skipped (77) without the bash-completion package.
set -uo pipefail
framework=/usr/share/bash-completion/bash_completion
[ -r "$framework" ] || { echo "bash-completion is not installed"; exit 77; }
# shellcheck disable=SC1090
source "$framework"
source "$1"

failures=0
# expect "WORDS..." "EXPECTED COMPLETIONS": completes the last word of the line.
expect() {
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$1"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _mbox2pst mbox2pst "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
    if [ "$got" != "$2" ]; then
        echo "FAIL: '$1' gave '$got', expected '$2'"
        failures=$((failures + 1))
    fi
}

expect "mbox2pst " "convert list scan show snapshot"
expect "mbox2pst --log-dir /tmp s" "scan show snapshot"
expect "mbox2pst convert --t" "--temp --threads --to"
expect "mbox2pst convert --to " "eml html msg pst rtf single-pst"
expect "mbox2pst --log-encoding " "utf-16 utf-8"
expect "mbox2pst show --te" "--temp --text"
expect "mbox2pst snapshot " "save"
expect "mbox2pst list --j" "--json"
expect "mbox2pst --verbose scan --o" "--offsets"
[ "$failures" -eq 0 ] || exit 1
echo "every completion case gave what was expected"
