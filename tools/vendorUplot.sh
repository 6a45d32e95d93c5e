#!/usr/bin/env bash
# Installs the charting library the page inlines from npm, at the version
# web/package-lock.json pins, and copies what the build uses into
# third_party/uplot, so that building needs no network.
set -euo pipefail
cd "$(dirname "$0")/.."
npm ci --prefix web --no-audit --no-fund
for file in dist/uPlot.iife.min.js dist/uPlot.min.css LICENSE; do
  cp "web/node_modules/uplot/$file" third_party/uplot/
done
