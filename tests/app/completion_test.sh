#!/usr/bin/env bash
# Checks packaging/bash-completion/quillmere: it offers every option that
# quillmere --help lists, and completes values and names as it should. The
# helpers of bash-completion it calls are stood in for here.
# Usage: completion_test.sh COMPLETION-FILE QUILLMERE
set -uo pipefail
completion=$1 program=$2
failed=0
fail() { echo "completion: $*" >&2; failed=1; }

_init_completion() {
    cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} words=("${COMP_WORDS[@]}") cword=$COMP_CWORD
    split=false
    if [[ $cur == --*=* ]]; then prev=${cur%%=*} cur=${cur#*=} split=true; fi
}
_filedir() { COMPREPLY=("<files${1:+ $1}>"); }
compopt() { :; }
# shellcheck source=/dev/null
source "$completion"

# Completes the words given, the last one being completed.
complete_words() {
    COMP_WORDS=(quillmere "$@") COMP_CWORD=$# COMPREPLY=()
    _comp_quillmere
    echo "${COMPREPLY[*]}"
}

offered=" $(complete_words -) "
for option in $("$program" --help | grep -oE '^ +(-[a-zA-Z], )?--[a-z-]+(=[A-Z]+)?' | tr ',' ' '); do
    word=${option%%=*}
    [[ $option == *=* ]] && word+="="
    [[ $offered == *" $word "* ]] || fail "the option $word is not offered"
done
[ "$(complete_words --he)" = "--header --help" ] || fail "--he gives $(complete_words --he)"
[ "$(complete_words -e cp125)" = "cp1250 cp1251 cp1252 cp1253 cp1254 cp1255 cp1256 cp1257 cp1258" ] ||
    fail "-e cp125 gives $(complete_words -e cp125)"
[ "$(complete_words --encoding=ucs)" = "ucs2le ucs2be" ] || fail "--encoding=ucs gives $(complete_words --encoding=ucs)"
[ "$(complete_words --write-task=j)" = "<files @(sft|bst)>" ] || fail "--write-task= gives $(complete_words --write-task=j)"
[ -z "$(complete_words -l 1)" ] || fail "a number is completed"
[ "$(complete_words -l 10 or)" = "<files>" ] || fail "a source is not completed as a file"
exit $failed
