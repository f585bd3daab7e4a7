#!/usr/bin/env bash
# Configures and builds Mirano into $1 (default: build), passing further arguments to CMake.
# BUILD_TARGETS (space-separated) limits the build to those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"; shift || true
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/mirano-ccache}"
# Relative paths in the cache key, so clones and worktrees elsewhere share cached objects.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
# The tests' precompiled header: cached once the cache may trust its macros and timestamps.
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
# shellcheck disable=SC2086 # one word per target
cmake --build "$dir" -j "$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
