#!/usr/bin/env bash
# Checks the Debian packages in a directory as a user of them would meet
# them, without installing them (no root needed):
#   - lintian reports no errors;
#   - the control fields: versions, dependencies, the library's shlibs and
#     ldconfig trigger; no RPATH or RUNPATH in any packaged ELF file;
#   - the -doc package (architecture all) holds the API reference and the
#     examples under its own doc directory;
#   - unpacked together into a temporary root, the tool runs on its bundled
#     sample, and the examples the -doc package ships build against the root
#     through find_package and through pkg-config, and run on the sample.
set -euo pipefail
dir=${1:?usage: check-package.sh DIRECTORY_WITH_DEBS}
checker=check-package
# shellcheck source=scripts/installed-checks.sh
source "$(dirname "$0")/installed-checks.sh"

one_deb() {
  local matches=("$dir"/"$1"_*.deb)
  [ ${#matches[@]} -eq 1 ] && [ -f "${matches[0]}" ] || fail "expected one $1 package in $dir"
  echo "${matches[0]}"
}
lib_deb=$(one_deb libextentbrowse1)
dev_deb=$(one_deb libextentbrowse-dev)
tool_deb=$(one_deb extent-browse)
doc_deb=$(one_deb libextentbrowse-doc)

# lintian: errors fail the check, warnings are shown.
lintian_flags=()
[ "$(id -u)" -eq 0 ] && lintian_flags+=(--allow-root)
lintian_out=$(lintian "${lintian_flags[@]}" "$lib_deb" "$dev_deb" "$tool_deb" "$doc_deb" 2>&1 ||
  true)
[ -n "$lintian_out" ] && echo "$lintian_out"
if grep -q '^E: ' <<<"$lintian_out"; then
  fail "lintian reports errors"
fi

# Control fields.
version=$(dpkg-deb -f "$lib_deb" Version)
for deb in "$dev_deb" "$tool_deb" "$doc_deb"; do
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$(basename "$deb") is not version $version"
done
expect_depends() {
  local deb=$1 wanted=$2
  dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//' | grep -qxF "$wanted" ||
    fail "$(basename "$deb") does not depend on '$wanted': $(dpkg-deb -f "$deb" Depends)"
  # Once: the component dependency pins the version, and a second entry
  # from dpkg-shlibdeps would only loosen how it reads.
  local package=${wanted%% *}
  [ "$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//' | grep -c "^$package\b")" -eq 1 ] ||
    fail "$(basename "$deb") names $package more than once: $(dpkg-deb -f "$deb" Depends)"
}
expect_depends "$dev_deb" "libextentbrowse1 (= $version)"
if dpkg-deb -f "$dev_deb" Depends | grep -q absl; then
  fail "libextentbrowse-dev depends on Abseil, which no installed header includes"
fi
expect_depends "$tool_deb" "libextentbrowse1 (= $version)"
expect_depends "$doc_deb" "libjs-jquery"
[ "$(dpkg-deb -f "$doc_deb" Architecture)" = all ] || fail "libextentbrowse-doc is not Architecture: all"
dpkg-deb -f "$lib_deb" Depends | grep -q 'libc6' || fail "libextentbrowse1 has no dpkg-shlibdeps dependencies"

dpkg-deb -e "$lib_deb" "$work/control"
grep -qx "libextentbrowse 1 libextentbrowse1 (>= $version)" "$work/control/shlibs" ||
  fail "libextentbrowse1's shlibs does not name libextentbrowse"
grep -qx "activate-noawait ldconfig" "$work/control/triggers" ||
  fail "libextentbrowse1 does not trigger ldconfig"

for deb in "$lib_deb" "$dev_deb" "$tool_deb" "$doc_deb"; do
  dpkg-deb -x "$deb" "$work/root"
done
usr=$work/root/usr
libdir=$usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)

while IFS= read -r -d '' file; do
  if file -b "$file" | grep -q '^ELF' && readelf -d "$file" | grep -qE 'RPATH|RUNPATH'; then
    fail "${file#"$work/root"} has a library search path"
  fi
done < <(find "$work/root" -type f -print0)

# The tool, on its bundled sample: named, and found beside the executable.
sample=$usr/share/extentbrowse/sample-index.tsv
run_library_path=$libdir
expect_answer "extent-browse --index" "$usr/bin/extent-browse" --index "$sample" \
  --path "$sample_item" lookup 5
expect_answer "extent-browse on its own sample" "$usr/bin/extent-browse" --path "$sample_item" lookup 5

# The -doc package: the reference, with Debian's jQuery in place of its own
# copy, and the examples.
doc=$usr/share/doc/libextentbrowse-doc
for page in index.html classExtentBrowse.html structebindex_1_1Entry.html; do
  [ -f "$doc/html/$page" ] || fail "libextentbrowse-doc lacks html/$page"
done
[ "$(readlink "$doc/html/jquery.js")" = ../../../javascript/jquery/jquery.js ] ||
  fail "libextentbrowse-doc's html/jquery.js is not a link to libjs-jquery's"

# The examples, through pkg-config with the unpacked root standing in for /.
pc() {
  PKG_CONFIG_SYSROOT_DIR="$work/root" PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config "$@"
}
flags=$(pc --cflags --libs extentbrowse)
if grep -qE -- '-rpath|\.\.' <<<"$flags"; then
  fail "pkg-config flags hold an RPATH or a '..': $flags"
fi
[ "$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --variable=prefix extentbrowse)" = /usr ] ||
  fail "the packaged extentbrowse.pc does not say prefix=/usr"
# shellcheck disable=SC2086
check_examples "$doc/examples" "$sample" "$usr" $flags

echo "package-check: lintian clean of errors; the tool and the -doc package's examples (CMake, pkg-config) run from the unpacked packages"
