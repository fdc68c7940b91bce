#!/usr/bin/env bash
# Mutation check: puts each fault of scripts/mutations.txt into a scratch copy of the repository,
# builds the tests of its layer and reports it CAUGHT, SURVIVED, STALE or BROKEN; the engine is
# scripts/mutation_check.py (--help for its options). Non-zero unless every fault was caught.
set -Eeuo pipefail
trap 'echo "mutation-check.sh: line $LINENO failed: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
command -v python3 >/dev/null || { echo "mutation-check.sh: python3 is needed (scripts/install-deps.sh)" >&2; exit 1; }
exec python3 scripts/mutation_check.py "$@"
