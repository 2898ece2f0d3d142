#!/usr/bin/env bash
# Decodes hostile COMPRESS_Tfp streams with krelt-cli under a 1 GiB address
# space limit: each must fail with exit 1 and a message, never abort.
# Usage: memory_limit_test.sh KRELT_CLI WORK_DIR
set -euo pipefail
cli=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# Stream header announcing 65535 chunk records (CRC-16 0x6B50 over
# FF FF 00 01 FF FF).
header() { printf '\x00\x08\x6b\x50\xff\xff\x00\x01\xff\xff'; }
# repeat FILE COUNT: FILE's bytes COUNT (below 65536) times, by doubling.
repeat() {
  local size
  size=$(stat -c %s "$1")
  cp "$1" repeated
  for _ in $(seq 16); do cat repeated repeated >doubled && mv doubled repeated; done
  head -c $((size * $2)) repeated
  rm repeated
}

# 65535 records that claim 32762 bytes each (2 GiB) but hold no data
# (CRC-16 0x57A0 over FF FF 7F FA): 524,290 bytes.
printf '\x00\x06\x57\xa0\xff\xff\x7f\xfa' >empty-record
{ header; repeat empty-record 65535; } >empty-records.tfp
test "$(stat -c %s empty-records.tfp)" -eq 524290

# A valid stream of 65535 chunks of 32762 zero bytes: 2.4 MB that decode
# to 2 GiB, more than the limit allows.
head -c 32762 /dev/zero >zeros
"$cli" compress zeros zeros.tfp
tail -c +11 zeros.tfp >zero-record
{ header; repeat zero-record 65535; } >zero-bomb.tfp

failed=0
# expect STREAM TEXT [OUT]: decompress to OUT (default out.bin) under the
# limit gives exit 1, TEXT on stderr and no out.bin.
expect() {
  local status=0
  (ulimit -v 1048576 && exec "$cli" decompress "$1" "${3:-out.bin}") 2>err.txt || status=$?
  if [ "$status" -ne 1 ] || ! grep -qF "$2" err.txt || [ -e out.bin ]; then
    echo "FAIL $1: exit $status, stderr: $(cat err.txt)" >&2
    failed=1
  else
    echo "ok $1: $(cat err.txt)"
  fi
}
expect empty-records.tfp "chunk 1: coded data ends after 0 of 32762 bytes"
# A file gets the bytes as they are decoded (2 GiB of them here); a device
# only once the whole stream decoded, so they must fit in memory first.
expect zero-bomb.tfp "out of memory" /dev/null
exit $failed
