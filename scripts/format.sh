#!/usr/bin/env bash
# Formats the C++ sources of the tree with .clang-format; with --check it only
# names the files that differ and fails if there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang-format
mapfile -t files < <(git ls-files 'src/*' 'tests/*' 'bench/*' 'fuzz/*' | grep -E '\.(cpp|h)$')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run -Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
