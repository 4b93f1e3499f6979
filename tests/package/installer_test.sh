#!/usr/bin/env bash
# The installer as a user and an administrator meet it, under Wine:
#  1. a silent install into a folder that does not exist yet; the installed
#     plug-in loads and answers OnPluginGetInfo; Add/Remove Programs lists it;
#  2. the same installer again, for the other architecture and without /D=:
#     an upgrade in place (same folder, one entry, the 32-bit DLL now loads);
#  3. a silent uninstall: the folders it created and its entry are gone, the
#     user's profile stays;
#  4. into a folder that already holds another plug-in: uninstalling with
#     /REMOVEPROFILE leaves the folder and the other file, removes the profile.
# Runs inside the X server and wineserver of `./vantrel test`.
# usage: installer_test.sh <setup.exe> <plugin-info 64-bit> <plugin-info 32-bit> <version>
set -u
setup=$1 info64=$2 info32=$3 version=$4
here=$(cd "$(dirname "$0")/../.." && pwd)
run=$here/cmake/wine-run
uninst_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel'
profile_key='HKCU\Software\Quillmark Plugins\Vantrel\Settings'

fail() { echo "FAIL: $*"; exit 1; }
ok() { echo "ok: $*"; }
winpath() { winepath -w "$1" 2>/dev/null; }
# The installer is a 32-bit program: its HKLM\Software is the 32-bit view.
uninst_value() { wine reg query "$uninst_key" /v "$1" /reg:32 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n {sub(/^ *[^ ]+ +[^ ]+ +/, ""); print}'; }
has_entry() { wine reg query "$uninst_key" /reg:32 >/dev/null 2>&1; }
has_profile() { wine reg query "$profile_key" /v sil_force >/dev/null 2>&1; }

# Loads the installed DLL with the loader of ARCH and checks its answer.
check_loads() {  # folder, info exe, what
  local out
  out=$("$run" "$2" "$(winpath "$1/Vantrel.dll")" | tr -d '\r') || fail "$3: the installed plug-in did not load: $out"
  printf '%s\n' "$out" | grep -qx 'menu: &Silhouette™ Machine\.\.\.' || fail "$3: menu text: $out"
  printf '%s\n' "$out" | grep -qx 'interface: 5a3c7e00' || fail "$3: interface id: $out"
  printf '%s\n' "$out" | grep -qx "version: $version.0" || fail "$3: version: $out"
  ok "$3: the installed plug-in loads and answers OnPluginGetInfo"
}

# The uninstaller copies itself away and returns at once; its last step
# removes the files and then the folders it created: wait for LAST to go.
uninstall() {  # folder, last path to go, extra arguments...
  local dir=$1 last=$2; shift 2
  wine "$(winpath "$dir/Vantrel-uninstall.exe")" /S "$@" || fail "the uninstaller did not start"
  for _ in $(seq 120); do
    [ -e "$last" ] || return 0
    sleep 0.5
  done
  fail "the uninstaller did not finish within 60 s"
}

[ -f "$setup" ] || fail "no installer at $setup"
scratch=$(mktemp -d /tmp/vantrel-installer.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
wine reg delete "$uninst_key" /reg:32 /f >/dev/null 2>&1
wine reg delete "$profile_key" /f >/dev/null 2>&1

# 1. Fresh install.
dir=$scratch/Quillmark/Plugins
wine "$setup" /S /ARCH=64 "/D=$(winpath "$dir")" || fail "silent install failed (exit $?)"
for f in Vantrel.dll Vantrel-README.txt Vantrel-LICENSE.txt Vantrel-uninstall.exe; do
  [ -f "$dir/$f" ] || fail "install: $f is missing"
done
[ "$(od -An -t x2 -j $(($(od -An -t u4 -j 60 -N 4 "$dir/Vantrel.dll") + 4)) -N 2 "$dir/Vantrel.dll" | tr -d ' ')" = 8664 ] \
  || fail "install: /ARCH=64 did not install the 64-bit DLL"
check_loads "$dir" "$info64" "install"
[ "$(uninst_value DisplayVersion)" = "$version" ] || fail "Add/Remove: DisplayVersion is '$(uninst_value DisplayVersion)'"
[ "$(uninst_value Publisher)" = Vantrel ] || fail "Add/Remove: Publisher is '$(uninst_value Publisher)'"
[ "$(uninst_value InstallLocation)" = "$(winpath "$dir")" ] || fail "Add/Remove: InstallLocation is '$(uninst_value InstallLocation)'"
[ "$(uninst_value DisplayIcon)" = "$(winpath "$dir/Vantrel-uninstall.exe"),0" ] || fail "Add/Remove: DisplayIcon is '$(uninst_value DisplayIcon)'"
size=$(uninst_value EstimatedSize)
[ $((size)) -ge $(($(stat -c %s "$dir/Vantrel.dll") / 1024)) ] || fail "Add/Remove: EstimatedSize is '$size'"
ok "install: files in place, Add/Remove lists Vantrel $version by Vantrel ($((size)) KiB)"

# 2. Upgrade in place, switching to the 32-bit plug-in; the folder comes from the earlier install.
wine reg add "$profile_key" /v sil_force /t REG_DWORD /d 20 /f >/dev/null 2>&1 || fail "cannot write a profile"
wine "$setup" /S /ARCH=32 || fail "silent upgrade failed (exit $?)"
[ "$(uninst_value InstallLocation)" = "$(winpath "$dir")" ] || fail "upgrade: moved to '$(uninst_value InstallLocation)'"
[ "$(find "$scratch" -iname 'vantrel.dll' | wc -l)" = 1 ] || fail "upgrade: more than one Vantrel.dll: $(find "$scratch" -iname vantrel.dll)"
check_loads "$dir" "$info32" "upgrade to 32-bit"
case "$(uninst_value DisplayName)" in *32-bit*) ;; *) fail "upgrade: DisplayName is '$(uninst_value DisplayName)'" ;; esac
ok "upgrade: in place, one DLL, one entry"

# 3. Uninstall: our folders and entry go, the profile stays.
uninstall "$dir" "$scratch/Quillmark"
[ ! -e "$scratch/Quillmark" ] || fail "uninstall left: $(find "$scratch/Quillmark")"
has_entry && fail "uninstall left the Add/Remove entry"
has_profile || fail "uninstall removed the profile without being asked"
ok "uninstall: folder and Add/Remove entry gone, profile kept"

# 4. A folder that was there before, with another plug-in in it.
dir=$scratch/Shared
mkdir -p "$dir" && echo other >"$dir/Other.dll"
wine "$setup" /S "/D=$(winpath "$dir")" || fail "install into a used folder failed"
check_loads "$dir" "$info64" "install beside another plug-in (default architecture)"
uninstall "$dir" "$dir/Vantrel-uninstall.exe" /REMOVEPROFILE
[ "$(ls -A "$dir")" = Other.dll ] || fail "uninstall touched what it did not install: $(ls -A "$dir")"
has_profile && fail "/REMOVEPROFILE kept the profile"
has_entry && fail "uninstall left the Add/Remove entry"
ok "uninstall beside another plug-in: only our files gone; /REMOVEPROFILE removed the profile"
echo "installer test passed"
