#!/bin/sh
# A file must not grow past its limit. Usage: check_size.sh FILE LIMIT_BYTES
size=$(stat -c %s "$1") || exit 1
echo "$(basename "$1"): $size bytes (limit $2)"
[ "$size" -le "$2" ]
