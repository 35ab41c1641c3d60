#!/usr/bin/env bash
# Every option that `kelvora-cli --help` names is offered by the bash completion and documented
# in the manual page, and the completion offers what the options take.
# Usage: cli_options_test.sh KELVORA_CLI SOURCE_DIR
set -u
export LC_ALL=C
cli=$1
src=$2
if [ ! -r /usr/share/bash-completion/bash_completion ]; then
    echo "bash-completion is not installed"
    exit 77
fi
source /usr/share/bash-completion/bash_completion
source "$src/res/completion/kelvora-cli"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The words offered for the command line "kelvora-cli ARG...", the last being completed, sorted.
offered() {
    COMP_WORDS=(kelvora-cli "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _kelvora_cli 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sed 's/=$//' | sort | tr '\n' ' '
}
expect() {
    local want=$1
    shift
    local got
    got=$(offered "$@")
    [ "$got" = "$want" ] || fail "completing '$*' offers '$got', not '$want'"
}

[[ $(complete -p kelvora-cli) == *"-F _kelvora_cli"* ]] || fail "no completion for kelvora-cli"

options=$("$cli" --help | tr -c 'a-z-' '\n' | grep -E '^(--[a-z][a-z-]*|-j)$' | sort -u)
[ -n "$options" ] || fail "no options in kelvora-cli --help"
all=" $(offered -) "
for option in $options; do
    [[ $all == *" $option "* ]] || fail "completion does not offer $option"
    grep -qF -- "${option//-/\\-}" "$src/res/man/kelvora-cli.1" ||
        fail "the manual page does not document $option"
done

expect 'flac mp3 original wav ' --to ''
expect 'linkage number ' --names ''
expect 'linkage ' --names=l

tmp=$(mktemp -d) && cd "$tmp" || exit 1
trap 'rm -rf "$tmp"' EXIT
mkdir folder
touch a.swf B.SWF c.Flv d.mp3 E.Mp3 notes.txt
expect 'B.SWF a.swf c.Flv folder ' ''
expect 'B.SWF a.swf c.Flv folder ' -- ''
expect 'E.Mp3 d.mp3 folder ' --merge ''

[ "$failures" -eq 0 ]
