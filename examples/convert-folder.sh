#!/bin/bash
# convert-folder.sh FOLDER LOG [OPTION...]: converts the SWF and FLV files of FOLDER alone (not
# its subfolders), in the order kelvora-cli's own folder search takes them (the movies, then the
# videos, each by name byte for byte), recording them in LOG. One GNU parallel job per folder.
set -u
folder=$1
log=$2
shift 2
export LC_ALL=C
shopt -s nullglob dotglob
files=()
for path in "$folder"/*.[sS][wW][fF] "$folder"/*.[fF][lL][vV]; do
    [ -d "$path" ] || files+=("$path")
done
[ ${#files[@]} -eq 0 ] || exec kelvora-cli -j 1 --log "$log" "$@" -- "${files[@]}"
