#!/usr/bin/env bash
# The pages kdb2mid serves or writes, tested in Debian's Chromium driven by
# puppeteer-core (pinned by tests/browser/package-lock.json; no browser
# download). One browser is started and shared by every test file.
# Usage: tests/scripts/browser-tests.sh BUILD_DIR [FILE.test.mjs...]
set -euo pipefail
build=$(realpath "${1:?usage: browser-tests.sh BUILD_DIR [FILE.test.mjs...]}")
shift
cd "$(dirname "$0")/../.."
scripts/ensure-deps.sh chromium python3-mido
(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
node tests/browser/run.mjs "$build" "$@"
