#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets again, under fuzz/corpus/, from
# a small data set that vrx's generator writes. The seeds are committed; run
# this (make fuzz-seeds) only when the file format or an input layout changes.
#
#   fuzz/make_seeds.sh PATH_TO_VRX
set -euo pipefail
vrx=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The same plan as the fuzz targets' own data set.
"$vrx" --drive "$work/drive" demo --brands 2 --products 3 --value-history 2 \
  --movement-history 2 > /dev/null
names=(PARAMET USUARIO TABEMAR PRODUTO HISTMOV HISTVAL)
folder=$work/drive/VantrexoSistemica/ORV/Arquivos

# A seed: the selector byte (decimal), then the bytes of the files given.
seed() {
  local out=$1 selector=$2
  shift 2
  { printf "\\$(printf '%03o' "$selector")"; cat "$@"; } > "$out"
}

# vrx load: selector = file + 6 * (0 absent, 1 empty, 2 holding the data set).
corpus=$here/corpus/vrx_load_fuzz
rm -rf "$corpus"
mkdir -p "$corpus"
for i in "${!names[@]}"; do
  n=${names[$i]}
  "$vrx" --drive "$work/drive" dump "$n" > "$work/$n.dump"
  seed "$corpus/$n-whole-into-absent" "$i" "$work/$n.dump"
  seed "$corpus/$n-again-into-the-set" $((i + 12)) "$work/$n.dump"
  printf 'short' > "$work/short"
  seed "$corpus/$n-with-a-short-end-into-empty" $((i + 6)) "$work/$n.dump" "$work/short"
done

# Open: selector bit 0 = the bytes are the log beside a sound TABEMAR, bit 1 =
# input-output, bits 2 on = the catalogue entry the data file is opened as.
corpus=$here/corpus/open_file_fuzz
rm -rf "$corpus"
mkdir -p "$corpus"
small=$work/small.VRX
cp "$folder/TABEMAR.VRX" "$small"
sqlite3 "$small" "PRAGMA journal_mode = DELETE; PRAGMA page_size = 512; VACUUM;
                  PRAGMA journal_mode = WAL;" > /dev/null
cp "$folder/HISTVAL.VRX" "$work/histval.VRX"
sqlite3 "$work/histval.VRX" "PRAGMA journal_mode = DELETE; PRAGMA page_size = 512; VACUUM;
                             PRAGMA journal_mode = WAL;" > /dev/null
seed "$corpus/tabemar-input" $((2 << 2)) "$small"
seed "$corpus/tabemar-input-output" $(((2 << 2) | 2)) "$small"
seed "$corpus/tabemar-as-histval" $((5 << 2)) "$small"
seed "$corpus/histval-input-output" $(((5 << 2) | 2)) "$work/histval.VRX"
sqlite3 "$work/foreign.db" "PRAGMA page_size = 512; CREATE TABLE t(x BLOB); INSERT INTO t VALUES(x'00ff');"
seed "$corpus/foreign-database" $((2 << 2)) "$work/foreign.db"
printf 'A01Ferramentas\r\n' > "$work/text"
seed "$corpus/text" $((3 << 2)) "$work/text"
# A log of one deletion from the sound TABEMAR, taken before a checkpoint.
cp "$small" "$work/logged.VRX"
sqlite3 "$work/logged.VRX" "PRAGMA wal_autocheckpoint = 0;" "DELETE FROM records WHERE seq = 1;" \
  ".shell cp '$work/logged.VRX-wal' '$work/log'" > /dev/null
seed "$corpus/log-input" 1 "$work/log"
seed "$corpus/log-input-output" 3 "$work/log"

# Engine operations: bytes the target decodes into a file shape, records and
# operations; a few fixed pseudo-random programs of different lengths.
corpus=$here/corpus/engine_ops_fuzz
rm -rf "$corpus"
mkdir -p "$corpus"
RANDOM=1
for length in 64 200 400 800 1600; do
  for copy in 1 2; do
    : > "$corpus/ops-$length-$copy"
    for ((b = 0; b < length; ++b)); do
      printf "\\$(printf '%03o' $((RANDOM % 256)))" >> "$corpus/ops-$length-$copy"
    done
  done
done
ls -l "$here"/corpus/*/ | awk '{ print $5, $9 }'
