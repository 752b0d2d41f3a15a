#!/usr/bin/env bash
# Checks the bash completion of quorlan-bench: each case is the words typed so far (the last one
# being completed) and the completions expected, in the order compgen gives them.
# Usage: completion-test.sh COMPLETION-SCRIPT
set -u
source "$1"
compopt() { :; } # only meaningful inside a real completion
cd "$(mktemp -d)" || exit 1
trap 'rm -rf -- "$PWD"' EXIT
mkdir folder && touch file.tiff

failures=0
expect() {
    local expected=$1
    shift
    COMP_WORDS=(quorlan-bench "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _quorlan_bench
    local got="${COMPREPLY[*]}"
    if [[ $got != "$expected" ]]; then
        echo "quorlan-bench $* : expected '$expected', got '$got'"
        failures=$((failures + 1))
    fi
}

expect "write read multi-write multi-read mixed compare" ""
expect "multi-write multi-read" "mu"
expect "multi-write multi-read" "--verbose" "mu"
expect "--unit" "--un"
expect "--no-cache" "write" "--no"
expect "KB MB GB" "write" "--unit" ""
expect "0x00 0x88 0x1A 0x41" "--fill" ""
expect "0x1A" "--fill" "0x1"
expect "" "--size" ""
expect "folder" "multi-read" "fo"
expect "file.tiff" "read" "fi"
expect "folder" "--unit" "MB" "mixed" ""
expect "file.tiff folder" "--json" ""
expect "compare" "co"
expect "file.tiff folder" "compare" "--markdown" ""
expect "--markdown" "compare" "--ma"
echo "$failures failed"
[[ $failures -eq 0 ]]
