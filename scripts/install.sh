#!/usr/bin/env bash
# make install: installs the build's commands, plug-ins, manual and man pages under PREFIX (the LV2
# bundle, the CLAP module and the VST3 bundle into ~/.lv2, ~/.clap and ~/.vst3 for a per-user PREFIX), stores the manual's path in
# the user's settings, and writes PREFIX/share/qrv-warmglow/install-manifest.txt, from which
# scripts/uninstall.sh removes exactly that again.
#
# Usage: scripts/install.sh BUILD_DIR PREFIX [COMPONENT...]
#
# COMPONENT is tools, doc, lv2, clap or vst3 (default: all five); `make demo` installs the LV2 bundle alone
# this way, so that `make uninstall` finds it in the same manifest. The manual's path goes into the
# settings only when the commands and the manual are installed.
#
# The components are installed into a scratch DESTDIR first, so that the manifest lists every file and
# every folder the install creates before anything is put in place. A manifest already there (an
# install over an install) is merged: what it lists and is still there stays listed.
set -euo pipefail

die() {
  echo "install: $*" >&2
  exit 1
}

[ $# -ge 2 ] || die "usage: scripts/install.sh BUILD_DIR PREFIX [COMPONENT...]"
build=$1
prefix=$2
shift 2
components=(tools doc lv2 clap vst3)
[ $# -eq 0 ] || components=("$@")
settings_step=0
for component in "${components[@]}"; do
  case $component in
    tools | doc | lv2 | clap | vst3) ;;
    *) die "unknown component '$component' (tools, doc, lv2, clap, vst3)" ;;
  esac
done
has_component() {
  case " ${components[*]} " in
    *" $1 "*) return 0 ;;
  esac
  return 1
}
if has_component tools && has_component doc; then
  settings_step=1
fi

[ -n "${HOME:-}" ] || die "HOME is not set"
# The manifest and the settings name where the files are; a staged copy would make both wrong.
[ -z "${DESTDIR:-}" ] || die "DESTDIR is not supported: for a staged copy use 'cmake --install $build --prefix PREFIX' with DESTDIR"
[ -f "$build/cmake_install.cmake" ] || die "$build is not a configured build folder"
case $prefix in
  *$'\n'* | *$'\t'*) die "PREFIX must not hold a newline or a tab" ;;
  "") die "PREFIX is empty" ;;
esac
# Absolute and without "." or ".." components, but with symbolic links kept: the per-user rule compares
# PREFIX with $HOME/.local as written.
prefix=$(realpath -m -s -- "$prefix")

manifest_dir=$prefix/share/qrv-warmglow
manifest=$manifest_dir/install-manifest.txt
manual=$prefix/share/doc/qrv-warmglow/index.html

stage=$(mktemp -d "${TMPDIR:-/tmp}/qrv-install.XXXXXX")
trap 'rm -rf -- "$stage"' EXIT

for component in "${components[@]}"; do
  DESTDIR=$stage cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done

declare -A files=() dirs=()
while IFS= read -r -d '' path; do
  files[${path#.}]=1
done < <(cd "$stage" && find . -mindepth 1 \( -type f -o -type l \) -print0)
# A folder the install will make (it is not there yet) is the install's to remove again when empty.
while IFS= read -r -d '' path; do
  [ -d "${path#.}" ] || dirs[${path#.}]=1
done < <(cd "$stage" && find . -mindepth 1 -type d -print0)

# The manifest's own folder and those above it that are missing.
created_above() {
  local d=$1
  while [ "$d" != / ] && [ ! -d "$d" ]; do
    dirs[$d]=1
    d=$(dirname -- "$d")
  done
}
created_above "$manifest_dir"

# An earlier install's entries: its files and folders that are still there stay listed, so that
# uninstalling removes them too.
declare -A setting_file=()
# An install without the settings step keeps the earlier install's settings entries as they are.
kept_settings=
if [ -f "$manifest" ]; then
  while IFS=$'\t' read -r kind a b; do
    case $kind in
      file) if [ -e "$a" ] || [ -L "$a" ]; then files[$a]=1; fi ;;
      dir) if [ -d "$a" ]; then dirs[$a]=1; fi ;;
      settings-file) setting_file[$a]=$b ;;
    esac
  done < "$manifest"
  kept_settings=$(grep -E $'^(setting|settings-file|settings-lock)\t' "$manifest" || true)
  [ -z "$kept_settings" ] || kept_settings+=$'\n'
fi

write_manifest() {
  mkdir -p -- "$manifest_dir"
  {
    echo "# What 'make install' put in place under $prefix and in the home folder; 'make uninstall'"
    echo "# removes it. Kinds: file, dir (created by the install, removed when empty), setting (removed"
    echo "# while it still holds the value), settings-file (created by the install, removed while it"
    echo "# holds nothing else: its SHA-256 is as written)."
    printf 'prefix\t%s\n' "$prefix"
    # An empty list prints nothing (printf would give one empty line, an entry naming no path).
    [ ${#files[@]} -eq 0 ] || printf '%s\n' "${!files[@]}" | LC_ALL=C sort | sed 's/^/file\t/'
    [ ${#dirs[@]} -eq 0 ] || printf '%s\n' "${!dirs[@]}" | LC_ALL=C sort | sed 's/^/dir\t/'
    printf '%s' "$1"
  } > "$manifest.tmp"
  mv -f -- "$manifest.tmp" "$manifest"
}

# Listed before anything is put in place: an install that stops half way can still be undone.
if [ "$settings_step" -eq 0 ]; then
  write_manifest "$kept_settings"
else
  write_manifest ""
fi
for component in "${components[@]}"; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
if [ "$settings_step" -eq 0 ]; then
  # The plug-in folders need not lie under PREFIX (~/.lv2 for the per-user one): name the bundle's.
  where=$prefix
  for f in "${!files[@]}"; do
    case $f in
      */"QRV warmGlow.lv2/manifest.ttl") where=$(dirname -- "$(dirname -- "$f")") ;;
    esac
  done
  [ "${components[*]}" = lv2 ] || where=$prefix
  echo "Installed ${components[*]} into $where (manifest: $manifest)"
  exit 0
fi
echo "Installed under $prefix (manifest: $manifest)"

# The manual's path in the settings, through the installed command (the settings store's own format
# and locking). Not when root installs with another user's HOME: the file would become root's.
warmglow=$prefix/bin/warmglow
if [ "$(id -u)" -eq 0 ] && [ "$(stat -c %u -- "$HOME")" -ne 0 ]; then
  echo "Not storing the manual's path: HOME ($HOME) is not root's; the plug-ins find the manual beside them"
  exit 0
fi
store=$("$warmglow" manual-path --settings-file)
extra=$(printf 'setting\tManualPath\t%s' "$manual")$'\n'
write_manifest "$extra"
# What the settings write will create: only inside HOME is it the install's to remove again.
case $store in
  "$HOME"/*)
    created_above "$(dirname -- "$store")"
    sum=
    lock=
    [ -e "$store.lock" ] || lock=new
    if [ ! -e "$store" ]; then
      sum=new
    elif [ -n "${setting_file[$store]:-}" ] &&
         [ "$(sha256sum < "$store" | cut -d' ' -f1)" = "${setting_file[$store]}" ]; then
      sum=new  # the earlier install's file, still holding only the manual's path
    fi
    ;;
  *) sum= lock= ;;
esac
"$warmglow" manual-path --set "$manual"
if [ "$sum" = new ]; then
  extra+=$(printf 'settings-file\t%s\t%s' "$store" "$(sha256sum < "$store" | cut -d' ' -f1)")$'\n'
  # Its lock file goes with it, when this install made that too.
  if [ "$lock" = new ] || [ -n "${setting_file[$store]:-}" ]; then
    extra+=$(printf 'settings-lock\t%s' "$store.lock")$'\n'
  fi
fi
write_manifest "$extra"
