#!/bin/sh
# Builds the Debian package from a built tree and checks it: its control
# fields and file list, its menu entry and metadata with their validators,
# then the programs as installed from it, with no build tree: the admin tool
# creates a store, the program starts and closes from its menu and leaves the
# day's copy of the store, which the admin tool restores; a copy that cannot
# be made does not stop the program from closing and is reported once at the
# next start.
#   package.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/velunor_*.deb)

[ "$(dpkg-deb -f "$deb" Package)" = velunor ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6sql6-sqlite libqt6sql6-psql libqt6widgets6 libqt6printsupport6 libqt6charts6 libsqlite3-0 libpq5 libdcmtk17 libc6; do
  echo "$depends" | grep -q "\(^\|, \)$needed\( \|,\|$\)" || fail "Depends lacks $needed: $depends"
done

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
{
  echo ./usr/bin/velunor
  echo ./usr/bin/velunor-admin
  echo ./usr/lib/systemd/user/velunor-dicom@.service
  echo ./usr/share/applications/pt.lumetra.velunor.desktop
  for size in 16 22 24 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${size}x${size}/apps/velunor.png"; done
  echo ./usr/share/man/man1/velunor-admin.1.gz
  echo ./usr/share/metainfo/pt.lumetra.velunor.metainfo.xml
} | sort >"$work/expected"
diff "$work/expected" "$work/files" || fail "file list"

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate --no-hints "$root/usr/share/applications/pt.lumetra.velunor.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/pt.lumetra.velunor.metainfo.xml" >"$work/as.log" 2>&1 \
  || { cat "$work/as.log"; fail "metainfo"; }
gzip -dc "$root/usr/share/man/man1/velunor-admin.1.gz" | grep -q "velunor\\\\-admin backup NOME" || fail "manual page"

XDG_CONFIG_HOME="$work/config"
export XDG_CONFIG_HOME
unset QT_QPA_PLATFORM
admin="$root/usr/bin/velunor-admin"
"$admin" alias set Dorvica2 --sqlite "$work/store" >/dev/null
"$admin" demo Dorvica2 --patients 20 >/dev/null || fail "velunor-admin demo"
# DCMTK and its data dictionary, as the package's dependencies bring them.
! "$admin" dicom-import Dorvica2 "$root/usr/share/metainfo/pt.lumetra.velunor.metainfo.xml" 2>"$work/dicom.err" \
  && grep -q "não é um ficheiro DICOM" "$work/dicom.err" || fail "velunor-admin dicom-import"

# -noreset: an X server that resets when its last client leaves drops the
# program's connection if it comes in at that moment.
xvfb-run -a -e "$work/xvfb.log" -s "-screen 0 1280x1024x24 -noreset" sh -c '
  set -u
  program=$1 admin=$2 store=$3
  fail() { echo "FAIL: $*"; exit 1; }
  copy="$store/backups/velunor-$(date +%F).db"
  # Waits up to 30 s for a condition.
  await() {
    for i in $(seq 1 300); do eval "$1" && return 0; sleep 0.1; done
    return 1
  }
  # Starts the program, answers its plain message box when $1 is "box",
  # checks $2 while it runs, closes it from its menu and returns its exit code.
  run() {
    "$program" & pid=$!
    await "! kill -0 $pid 2>/dev/null || xdotool search --onlyvisible --name \"^Relatório Velunor\" >/dev/null 2>&1"
    kill -0 $pid 2>/dev/null || fail "the program ended before its main window showed"
    if [ "$1" = box ]; then
      await "xdotool search --onlyvisible --name \"^Velunor\\$\" >/dev/null 2>&1" || { kill $pid; fail "no message box"; }
      xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "^Velunor\$" | head -n 1)" key Return
    fi
    eval "$2" || { kill $pid; fail "while running: $2"; }
    main=$(xdotool search --onlyvisible --name "^Relatório Velunor" | head -n 1)
    xdotool windowfocus --sync "$main" key --delay 150 alt+a s
    wait $pid
  }

  run none true || fail "exit code $? after the first close"
  await "[ -s \"$copy\" ]" || fail "no copy of the day after closing"
  grep -q "gravada" "$store/backups.log" || fail "no log line of the copy"
  "$admin" restore Dorvica2 "$copy" >"$store/restore.out" || fail "restore"
  grep -q "(20 pacientes" "$store/restore.out" || fail "restored: $(cat "$store/restore.out")"

  rm -rf "$store/backups" && touch "$store/backups" # where the copies go, a file
  run none true || fail "exit code $? after a close whose copy failed"
  await "[ -e \"$store/backups.failed\" ]" || fail "the failed copy left no mark"
  grep -q "falhou" "$store/backups.log" || fail "no log line of the failure"
  run box "[ ! -e \"$store/backups.failed\" ]" || fail "exit code $? after the message"
  echo "PASS: package, desktop entry, metadata, manual page; copy on closing, restore, failure reported once"
' sh "$root/usr/bin/velunor" "$admin" "$work/store" || { cat "$work/xvfb.log"; exit 1; }
