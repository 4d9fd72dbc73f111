#!/usr/bin/env bash
# Installs a build into a temporary prefix, then runs the installed tool on
# its bundled sample and builds and runs every example program against the
# installed tree: through find_package and through pkg-config. The
# installed binaries find their libraries by their own RPATH, with no
# LD_LIBRARY_PATH. A broken install fails here.
set -euo pipefail
build=${1:?usage: check-consumer.sh BUILD_DIR}
checker=check-consumer
# shellcheck source=scripts/installed-checks.sh
source "$(dirname "$0")/installed-checks.sh"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

sample=$prefix/share/extentbrowse/sample-index.tsv
expect_answer "installed extent-browse" "$prefix/bin/extent-browse" --path "$sample_item" lookup 5

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib/x86_64-linux-gnu/pkgconfig"
pkg-config --exists extentbrowse
# The .pc file names the prefix it was installed to, literally.
[ "$(pkg-config --variable=prefix extentbrowse)" = "$prefix" ] ||
  fail "extentbrowse.pc says prefix=$(pkg-config --variable=prefix extentbrowse), not $prefix"
flags=$(pkg-config --cflags --libs extentbrowse)
if grep -q -- '\.\.' <<<"$flags"; then
  fail "pkg-config flags hold a '..': $flags"
fi
# Abseil's headers come through the private requirement; its libraries
# are libextentbrowse's business, not the host's.
if grep -q -- '-labsl' <<<"$flags"; then
  fail "pkg-config puts Abseil's libraries on a host's link line: $flags"
fi
# shellcheck disable=SC2086
check_examples "$root/examples" "$sample" "$prefix" $flags
echo "consumer: installed tool runs; the examples build against the install and run (CMake and pkg-config)"
