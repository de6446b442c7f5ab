#!/usr/bin/env bash
# Installs what is missing, builds Release and makes build/velmora_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
(cd build && cpack -G DEB)
ls build/velmora_*.deb
