#!/usr/bin/env bash
# make uninstall: removes what scripts/install.sh put in place, as its manifest
# PREFIX/share/qrv-warmglow/install-manifest.txt lists it, and the manifest last. Needs neither the
# build folder nor the sources' build: only the manifest and the installed warmglow command (for the
# manual's path in the settings).
#
# Usage: scripts/uninstall.sh PREFIX
#
# Files are removed, folders the install created only when empty, the manual's path in the settings
# only while it names this installation's manual, and a settings file the install created only while
# it holds nothing else. Every path must lie under PREFIX or HOME; a manifest naming anything else is
# refused before anything is removed. When something cannot be removed, the manifest stays.
set -euo pipefail

die() {
  echo "uninstall: $*" >&2
  exit 1
}

[ $# -eq 1 ] || die "usage: scripts/uninstall.sh PREFIX"
[ -n "${HOME:-}" ] || die "HOME is not set"
[ -n "$1" ] || die "PREFIX is empty"
prefix=$(realpath -m -s -- "$1")
home=$(realpath -m -s -- "$HOME")
manifest=$prefix/share/qrv-warmglow/install-manifest.txt
[ -f "$manifest" ] || die "no install manifest at $manifest: nothing was installed there by 'make install'"

# Under PREFIX or HOME, absolute, and without "." or ".." components that could lead elsewhere.
allowed() {
  local p=$1
  case $p in
    /*) ;;
    *) return 1 ;;
  esac
  case /$p/ in
    */./* | */../*) return 1 ;;
  esac
  case $p in
    "$prefix"/* | "$home"/*) return 0 ;;
  esac
  return 1
}

files=() dirs=() settings=() store= store_sum= store_lock=
while IFS=$'\t' read -r kind a b c; do
  case $kind in
    "" | \#*) continue ;;
    prefix)
      [ "$a" = "$prefix" ] || die "the manifest is of $a, not of $prefix"
      continue
      ;;
    file) files+=("$a") ;;
    dir) dirs+=("$a") ;;
    setting)
      [ "$a" = ManualPath ] || die "unknown setting '$a' in $manifest"
      settings+=("$b")
      continue
      ;;
    settings-file)
      store=$a
      store_sum=$b
      ;;
    settings-lock) store_lock=$a ;;
    *) die "unknown entry '$kind' in $manifest" ;;
  esac
  allowed "$a" || die "$manifest names '$a', outside $prefix and $home; nothing removed"
done < "$manifest"

failed=0
# The settings first, while the installed command is still there.
warmglow=$prefix/bin/warmglow
for manual in "${settings[@]}"; do
  if [ -n "$store" ] && [ -f "$store" ] &&
     [ "$(sha256sum < "$store" | cut -d' ' -f1)" = "$store_sum" ]; then
    # Still exactly as the install wrote it: nothing but the manual's path is in it.
    rm -f -- "$store" || failed=1
    [ -z "$store_lock" ] || rm -f -- "$store_lock" || failed=1
  elif [ -x "$warmglow" ]; then
    "$warmglow" manual-path --unset-if "$manual" || failed=1
  else
    echo "uninstall: $warmglow is gone; the manual's path stays in the settings" >&2
    failed=1
  fi
done
# Nothing else goes while the settings stay: the installed command is needed to try them again.
if [ "$failed" -ne 0 ]; then
  die "the manual's path could not be removed from the settings; nothing else removed, $manifest stays"
fi

for f in "${files[@]}"; do
  if [ -L "$f" ] || [ -f "$f" ]; then
    rm -f -- "$f" || failed=1
  elif [ -e "$f" ]; then
    echo "uninstall: $f is no longer a file; left in place" >&2
    failed=1
  fi
done
if [ "$failed" -ne 0 ]; then
  die "not everything could be removed; $manifest stays"
fi
rm -f -- "$manifest"

# Deepest first, so that a folder's emptied sub-folders go before it; a folder holding anything else
# stays.
while IFS= read -r d; do
  [ -z "$d" ] || rmdir -- "$d" 2>/dev/null || true
done < <(printf '%s\n' "${dirs[@]}" | awk '{ print gsub("/", "/") "\t" $0 }' | LC_ALL=C sort -t$'\t' -k1,1nr | cut -f2-)
echo "Uninstalled from $prefix"
