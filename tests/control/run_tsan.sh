#!/usr/bin/env bash
# The player control tests under ThreadSanitizer, in build-tsan/: `./dev.sh tsan` runs them.
exec "$(dirname "$0")/../../dev.sh" tsan
