#!/usr/bin/env bash
# Writes blake3_vectors.h: the BLAKE3 texts `b3sum` gives for messages of the byte pattern
# i % 251, at lengths around the chunk (1024 bytes) and tree boundaries and some long enough
# for many levels of parents. Run once where b3sum is installed (Debian package b3sum) and
# commit the result; the tests never run b3sum themselves.
# Usage: tests/digest/make_blake3_vectors.sh > tests/digest/blake3_vectors.h
set -euo pipefail
lengths=(0 1 63 64 65 1023 1024 1025 2048 2049 3072 3073 4096 4097 5120 5121 6144 6145 7168
         7169 8192 8193 16384 31744 102400 262145 409617)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(b3sum --version)

cat <<HEADER
// BLAKE3 texts of the byte pattern i % 251, written by make_blake3_vectors.sh from
// ${version}. Do not edit; run the script again.
#pragma once

#include <cstddef>

struct Blake3Vector {
    std::size_t length;
    const char* text;
};

inline constexpr Blake3Vector kBlake3Vectors[] = {
HEADER
for length in "${lengths[@]}"; do
  /usr/bin/python3 -c "import sys; sys.stdout.buffer.write(bytes(i % 251 for i in range($length)))" \
    > "$work/message"
  text=$(b3sum --num-threads 1 --no-names "$work/message")
  printf '    {%s, "%s"},\n' "$length" "$text"
done
echo "};"
