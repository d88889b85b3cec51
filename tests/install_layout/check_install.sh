#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there: the
# exact list of files, the desktop entry, the AppStream metadata and the
# manual pages as their own validators see them, and that the installed
# programs answer --version without a display.
# Usage: check_install.sh CMAKE BUILD_DIR VERSION
# Exit 77 (skipped) when a validator is missing and nothing else failed.
set -uo pipefail

cmake=$1
build=$2
version=$3
id=io.github.wingstow.Wingstow

prefix=$(mktemp -d "${TMPDIR:-/tmp}/wingstow-install.XXXXXX") || exit 1
trap 'rm -rf "$prefix"' EXIT

failures=0
missing=()
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! log=$("$cmake" --install "$build" --prefix "$prefix" 2>&1); then
  echo "$log"
  echo "FAIL: cmake --install $build --prefix $prefix (are wingstow and wingstow-cli built?)"
  exit 1
fi

# Everything the rules install, and nothing else.
expected="bin/wingstow
bin/wingstow-cli
share/bash-completion/completions/wingstow-cli
share/fish/vendor_completions.d/wingstow-cli.fish
share/zsh/site-functions/_wingstow-cli
share/applications/wingstow.desktop
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/wingstow-cli.1
share/man/man1/wingstow.1
share/metainfo/$id.metainfo.xml
share/wingstow/help/airplane.html"
actual=$(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" != "$(LC_ALL=C sort <<<"$expected")" ]; then
  fail "installed files differ from the expected list"
  diff <(LC_ALL=C sort <<<"$expected") <(echo "$actual") | sed 's/^/  /'
fi
for program in wingstow wingstow-cli; do
  [ -x "$prefix/bin/$program" ] || fail "$prefix/bin/$program is not executable"
done

# The bash completion offers the commands --help lists, and the simulators
# after --sim; zsh and fish name the same commands.
completion=$prefix/share/bash-completion/completions/wingstow-cli
if [ -f "$completion" ]; then
  commands=$("$prefix/bin/wingstow-cli" --help | awk '/^Commands:/ { on = 1; next } /^$/ { on = 0 }
    on && /^  [a-z]/ { print $1 }' | LC_ALL=C sort | tr '\n' ' ')
  offered=$(bash -c 'source "$1"; COMP_WORDS=(wingstow-cli ""); COMP_CWORD=1; _wingstow_cli
    printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" | LC_ALL=C sort | tr '\n' ' ')
  [ -n "$commands" ] && [ "$offered" = "$commands" ] ||
    fail "the bash completion offers '$offered', --help lists '$commands'"
  sims=$(bash -c 'source "$1"; COMP_WORDS=(wingstow-cli --sim f); COMP_CWORD=2; _wingstow_cli
    printf "%s " "${COMPREPLY[@]}"' _ "$completion")
  [ "$sims" = "fs2002 fs2004 " ] || fail "the bash completion offers '$sims' after --sim"
  for other in share/zsh/site-functions/_wingstow-cli share/fish/vendor_completions.d/wingstow-cli.fish; do
    for command in $commands; do
      grep -q "$command" "$prefix/$other" || fail "$other does not name $command"
    done
  done
fi

# The PNGs are the sizes their folders claim (width and height from the
# IHDR chunk, big-endian at bytes 16 and 20).
for size in 48 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -f "$png" ] || continue
  read -r -a bytes <<<"$(od -An -tu1 -j16 -N8 "$png")"
  width=$(((bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3]))
  height=$(((bytes[4] << 24) | (bytes[5] << 16) | (bytes[6] << 8) | bytes[7]))
  if [ "$width" != "$size" ] || [ "$height" != "$size" ]; then
    fail "$png is ${width}x${height}, not ${size}x${size}"
  fi
done

# The desktop entry and the metadata name what was installed.
desktop=$prefix/share/applications/wingstow.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
if [ -f "$desktop" ]; then
  grep -qx "Exec=wingstow %F" "$desktop" || fail "$desktop: Exec is not 'wingstow %F'"
  grep -qx "Icon=$id" "$desktop" || fail "$desktop: Icon is not $id"
  for type in application/zip application/x-7z-compressed application/x-rar; do
    grep -q "^MimeType=.*$type;" "$desktop" || fail "$desktop: no $type"
  done
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
  else
    missing+=(desktop-file-validate)
  fi
fi
if [ -f "$metainfo" ]; then
  grep -q "<launchable type=\"desktop-id\">wingstow.desktop</launchable>" "$metainfo" ||
    fail "$metainfo: the launchable is not wingstow.desktop"
  grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "$metainfo: no release entry for version $version"
  if command -v appstreamcli >/dev/null; then
    # Pedantic remarks are shown but pass; only errors and warnings fail.
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
  else
    missing+=(appstreamcli)
  fi
fi

for manpage in "$prefix"/share/man/man1/wingstow.1 "$prefix"/share/man/man1/wingstow-cli.1; do
  [ -f "$manpage" ] || continue
  if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$manpage" 2>&1)
    [ -z "$warnings" ] || fail "groff warns on $manpage:"$'\n'"$warnings"
  else
    echo "note: groff is missing, $manpage is not rendered"
  fi
done

# The installed programs answer without a display.
for program in wingstow wingstow-cli; do
  answer=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$prefix/bin/$program" --version 2>&1)
  status=$?
  if [ "$status" != 0 ] || [ "$answer" != "$program $version" ]; then
    fail "$prefix/bin/$program --version gave status $status and '$answer'"
  fi
done

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
if ((${#missing[@]})); then
  echo "SKIPPED: ${missing[*]} not installed (tools/install-deps installs them);" \
    "every other check passed"
  exit 77
fi
echo "install layout OK"
