#!/usr/bin/env bash
# Wingstow is offered for the archives it opens but never takes them over.
# Installed into a home's ~/.local and into a /usr/local (a temporary
# folder ahead of /usr/share in XDG_DATA_DIRS), beside the system's archive
# manager and as `cmake --install` leaves them, xdg-mime and gio never
# answer Wingstow as the default for ZIP, 7z or RAR under any of their
# names; once the folder's cache is built, gio lists Wingstow for them.
# Installed as a distribution package installs it, in the archive manager's
# own folder with that folder's cache built, the manager stays the default:
# both tools rank a folder's cache by name, and "wingstow" sorts after it.
# (A folder ahead of /usr/share with its own cache wins whatever its names,
# unless the user has chosen a default: no key of the desktop file changes
# that, and the test does not pretend so.)
# Usage: check_mime.sh CMAKE BUILD_DIR
# Exit 77 (skipped) without xdg-mime, gio or an archive manager.
set -uo pipefail

cmake=$1
build=$2
id=wingstow.desktop
# The archive types under the names shared-mime-info gives them, aliases
# included: a name a tool does not resolve must not fall to Wingstow.
types=(application/zip application/x-zip-compressed application/x-7z-compressed
  application/vnd.rar application/x-rar application/x-rar-compressed)

for tool in xdg-mime gio update-desktop-database; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (tools/install-deps installs it)"
    exit 77
  fi
done
manager=$(grep -l '^MimeType=.*application/zip;' /usr/share/applications/*.desktop 2>/dev/null |
  grep -v "/$id\$" | head -1)
if [ -z "$manager" ]; then
  echo "SKIPPED: no archive manager in /usr/share/applications (tools/install-deps installs file-roller)"
  exit 77
fi
echo "archive manager: $(basename "$manager")"

work=$(mktemp -d "${TMPDIR:-/tmp}/wingstow-mime.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# query HOME PREFIX DATA_DIRS TOOL ARGS...: a tool as a fresh session sees it.
query() {
  local home=$1 prefix=$2 data_dirs=$3
  shift 3
  env -i HOME="$home" PATH="$prefix/bin:/usr/bin:/bin" XDG_DATA_DIRS="$data_dirs" "$@" 2>&1
}

# not_default LABEL HOME PREFIX DATA_DIRS: neither tool answers Wingstow for
# any of the archive types.
not_default() {
  local label=$1 home=$2 prefix=$3 data_dirs=$4 type answer
  for type in "${types[@]}"; do
    answer=$(query "$home" "$prefix" "$data_dirs" xdg-mime query default "$type")
    [ "$answer" != "$id" ] || fail "$label: xdg-mime makes Wingstow the default for $type"
    answer=$(query "$home" "$prefix" "$data_dirs" gio mime "$type" |
      sed -n '1s/^Default application for “[^”]*”: //p')
    [ "$answer" != "$id" ] || fail "$label: gio makes Wingstow the default for $type"
  done
}

# offered LABEL HOME PREFIX DATA_DIRS: gio lists Wingstow for the archives.
offered() {
  local label=$1 home=$2 prefix=$3 data_dirs=$4 type listed
  for type in application/zip application/x-7z-compressed application/vnd.rar; do
    listed=$(query "$home" "$prefix" "$data_dirs" gio mime "$type")
    grep -q "^	$id\$" <<<"$listed" || fail "$label: gio does not offer Wingstow for $type"
  done
}

# check LABEL HOME PREFIX DATA_DIRS: the install as `cmake --install` leaves
# it, then with the folder's cache built (update-desktop-database).
check() {
  local label=$1 home=$2 prefix=$3 data_dirs=$4 desktop type
  desktop=$prefix/share/applications/$id
  if [ ! -f "$desktop" ]; then
    fail "$label: no $desktop"
    return
  fi
  # The desktop file lists what the program opens, and no more than that.
  for type in application/zip application/x-7z-compressed application/x-rar; do
    grep -q "^MimeType=\(.*;\)\?$type;" "$desktop" || fail "$label: $desktop does not offer $type"
  done
  grep -q '^MimeType=.*application/vnd\.rar;' "$desktop" &&
    fail "$label: $desktop names application/vnd.rar, which xdg-mime would give to Wingstow alone"
  grep -Eq '^(Actions=|\[Desktop Action )' "$desktop" && fail "$label: $desktop has actions"
  grep -q '^InitialPreference=' "$desktop" && fail "$label: $desktop raises its own preference"

  not_default "$label" "$home" "$prefix" "$data_dirs"

  update-desktop-database "$prefix/share/applications"
  offered "$label" "$home" "$prefix" "$data_dirs"
}

install_into() {
  local log
  if ! log=$("$cmake" --install "$build" --prefix "$1" 2>&1); then
    echo "$log"
    echo "FAIL: cmake --install $build --prefix $1"
    exit 1
  fi
}

# A home's own install.
home=$work/user
install_into "$home/.local"
# shellcheck disable=SC2088 # a label, not a path
check "~/.local" "$home" "$home/.local" /usr/local/share:/usr/share

# A system-wide install in /usr/local, ahead of /usr/share, on a fresh home.
install_into "$work/usr/local"
mkdir -p "$work/other"
check "/usr/local" "$work/other" "$work/usr/local" "$work/usr/local/share:/usr/share"

# A distribution package: one folder for Wingstow and the archive manager,
# its cache built as the package manager's trigger builds it (/usr/share
# stays behind it for the MIME database).
install_into "$work/dist/usr"
cp "$manager" "$work/dist/usr/share/applications/"
update-desktop-database "$work/dist/usr/share/applications"
mkdir -p "$work/third"
not_default "one folder with $(basename "$manager")" "$work/third" "$work/dist/usr" "$work/dist/usr/share:/usr/share"
offered "one folder with $(basename "$manager")" "$work/third" "$work/dist/usr" "$work/dist/usr/share:/usr/share"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "offered, never the default: OK"
