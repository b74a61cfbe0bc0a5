#!/usr/bin/env bash
# The Debian packages as a user meets them (run as root, on Debian 12, by
# .ci/run): scripts/package makes them, lintian checks them, apt installs
# them with their dependencies from Debian's archive, and the desktop entry
# and AppStream metadata are validated. A normal user then runs what was
# installed: zuvek-cli --version, a test against the built-in simulator (its
# files in that user's XDG data folder), the manual pages render without a
# warning, the bash completion loads and completes, and the window starts
# offscreen on a simulator's ports, runs a test and quits. apt purge then
# removes every file of the packages.
set -euo pipefail
cd "$(dirname "$0")/../.."
user=zuvek-install-check
export DEBIAN_FRONTEND=noninteractive

cleanup() {
  pkill -KILL -u "$user" 2>/dev/null || true   # a step that failed may leave a simulator
  apt-get purge -y -qq zuvek zuvek-cli >/dev/null 2>&1 || true
  userdel --remove "$user" 2>/dev/null || true
}
trap cleanup EXIT
cleanup

mapfile -t debs < <(scripts/package)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/dev/CMakeCache.txt)
echo "== zuvek-cli needs no window toolkit"
if dpkg-deb --field "${debs[0]}" Depends | grep -i qt; then exit 1; fi
echo "== lintian"
lintian --fail-on error,warning --info "build/package/zuvek_${version}_amd64.changes"
echo "== apt-get install ${debs[*]}"
apt-get install -y -qq "${debs[@]}" >/dev/null
dpkg -L zuvek zuvek-cli | sort -u >build/package/installed-files.txt
echo "== desktop-file-validate, appstreamcli validate"
desktop-file-validate /usr/share/applications/*zuvek*.desktop
appstreamcli validate --no-net /usr/share/metainfo/*zuvek*.metainfo.xml

useradd --create-home --shell /bin/bash "$user"
as_user() {
  runuser -u "$user" -- env -i HOME="/home/$user" USER="$user" LOGNAME="$user" \
    PATH=/usr/bin:/bin LANG=C.UTF-8 bash -euo pipefail -c "cd; $1"
}
echo "== as $user: zuvek-cli --version, a test against the built-in simulator"
as_user "[[ \$(zuvek-cli --version) == 'zuvek-cli $version' ]]"
as_user 'zuvek-cli run --restart hot --runs 2 --time-scale 20 >run.txt
  summary=$(ls ~/.local/share/zuvek/*/*_summary.json)
  grep -q "\"runs\": 2" "$summary" && test -s ~/.local/share/zuvek/results.sqlite'

echo "== as $user: the manual pages"
as_user 'for page in zuvek-cli zuvek zuvek.toml; do
    warnings=$(MANWIDTH=80 man --warnings "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || { echo "man $page: $warnings"; exit 1; }
    MANWIDTH=80 man "$page" 2>/dev/null | grep -q "^NAME"
  done
  MANWIDTH=80 man zuvek-cli | grep -q "zuvek-cli bench"'

echo "== as $user: the bash completion"
as_user 'source /usr/share/bash-completion/bash_completion
  _completion_loader zuvek-cli || true   # 124: loaded, complete again
  complete -p zuvek-cli >/dev/null
  complete_words() { COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=(); _zuvek_cli; echo "${COMPREPLY[*]}"; }
  [[ $(complete_words zuvek-cli ru) == run ]]
  [[ $(complete_words zuvek-cli run --restart c) == cold ]]
  [[ $(complete_words zuvek-cli profiles show sim7) == "sim7000 sim7600" ]]'

echo "== as $user: the window, offscreen, a test on a simulator's ports"
as_user 'export ZUVEK_SIM_DIR=$HOME/ports
  zuvek-cli sim --name check --time-scale 20 --ttff-hot 2:4 >sim.txt 2>&1 & sim=$!
  trap "kill $sim 2>/dev/null || true" EXIT
  for _ in $(seq 100); do [[ -e $ZUVEK_SIM_DIR/check-NMEA ]] && break; sleep 0.1; done
  QT_QPA_PLATFORM=offscreen ZUVEK_TIME_SCALE=20 timeout 120 \
    zuvek --demo-ports check-AT,check-NMEA --demo-run 1 --screenshot window.png
  kill $sim
  test -s window.png'

echo "== apt-get purge"
apt-get purge -y -qq zuvek zuvek-cli >/dev/null
left=0
while read -r path; do   # every path of ours holds "zuvek"; /usr/bin and the like stay
  if [[ $path == *zuvek* ]] && [[ -e $path || -L $path ]]; then echo "left behind: $path"; left=1; fi
done <build/package/installed-files.txt
((left == 0))
echo "installed packages: every check passed"
