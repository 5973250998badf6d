#!/usr/bin/env bash
# Builds the Debian package from a fresh release build (build/package) and prints the .deb's
# path. With --check it then unpacks the package and checks it: its files, the unpacked
# programs, their hardening, its declared dependencies, lintian (no errors allowed) and the
# udev rule.
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
case "${1:-}" in
  "") ;;
  --check) check=true ;;
  *) echo "usage: scripts/package.sh [--check]" >&2; exit 2 ;;
esac

scripts/deps.sh >&2
extra=(dpkg-dev)
$check && extra+=(lintian devscripts)
scripts/deps.sh "${extra[@]}" >&2

if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
umask 022
build=build/package
rm -rf "$build"
{
  cmake --preset release --fresh -B "$build" -DBUILD_TESTING=OFF -DVEXILO_BENCHMARKS=OFF \
    -DNIMBRA_SIM_DEFAULT_CONFIG=/usr/share/vexilo/examples/instrument.nol
  cmake --build "$build" -j"$(nproc)"
  (cd "$build" && cpack -G DEB)
} >"$build.log" 2>&1 || { tail -40 "$build.log" >&2; echo "package: build failed, see $build.log" >&2; exit 1; }

debs=("$build"/vexilo_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package: no single .deb in $build" >&2; exit 1; }
deb=$(realpath "${debs[0]}")

if $check; then
  fail() { echo "package check: $*" >&2; exit 1; }
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$deb" "$root"

  expected=(
    usr/bin/vexilo usr/bin/vexilo-cli usr/bin/nimbra-sim
    usr/share/applications/vexilo.desktop
    usr/share/icons/hicolor/scalable/apps/vexilo.svg
    usr/share/man/man1/vexilo.1.gz usr/share/man/man1/vexilo-cli.1.gz
    usr/share/man/man1/nimbra-sim.1.gz
    usr/share/bash-completion/completions/vexilo-cli
    usr/lib/udev/rules.d/60-vexilo-ftdi-latency.rules
    usr/share/doc/vexilo/copyright usr/share/doc/vexilo/changelog.gz
    usr/share/vexilo/examples/instrument.nol
  )
  for f in "${expected[@]}"; do [ -e "$root/$f" ] || fail "missing $f"; done
  for f in usr/bin/vexilo usr/bin/vexilo-cli usr/bin/nimbra-sim; do
    [ -x "$root/$f" ] || fail "$f is not executable"
  done

  version=$(sed -n 's/^project(Vexilo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
  [ "$("$root/usr/bin/vexilo-cli" --version)" = "vexilo-cli $version" ] ||
    fail "the unpacked vexilo-cli --version does not say $version"
  "$root/usr/bin/nimbra-sim" --help | grep -q "/usr/share/vexilo/examples/instrument.nol" ||
    fail "the unpacked nimbra-sim --help does not name the installed example"

  # Built as Debian builds packages (cmake/Hardening.cmake): PIE, the stack protector,
  # fortified library calls, RELRO and BIND_NOW, on every program. Control flow protection
  # is compiled in but cannot show: a program carries its mark only when every object linked
  # in does, and Debian 12's C library start files (Scrt1.o, crti.o) do not.
  for f in usr/bin/vexilo usr/bin/vexilo-cli usr/bin/nimbra-sim; do
    hardening-check --nocfprotection "$root/$f" >&2 || fail "$f lacks a hardening feature (see above)"
  done

  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  for lib in libqt6widgets6 libqt6serialport6 libqt6printsupport6 libstdc++6 qt6-qpa-plugins; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib"
  done

  if udevadm verify --help >/dev/null 2>&1; then
    udevadm verify "$root/usr/lib/udev/rules.d/60-vexilo-ftdi-latency.rules"
  else
    echo "udevadm verify: not on this system; the rule's lines are checked for form only"
    grep -v '^\s*\(#\|$\)' "$root/usr/lib/udev/rules.d/60-vexilo-ftdi-latency.rules" |
      grep -Evq '^([A-Z_]+(\{[a-z_]+\})?(==|!=|=|\+=)"[^"]*"(, |$))+$' &&
      fail "a line of the udev rule is not of the form KEY==\"value\", ..."
  fi

  # Errors fail the check; the warnings and notes that remain are printed.
  lintian --fail-on error --tag-display-limit 0 "$deb" >&2 || fail "lintian reports errors"
fi

echo "$deb"
