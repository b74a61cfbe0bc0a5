#!/usr/bin/env bash
# Checks scripts/bootstrap without touching the machine: stub dpkg-query,
# apt-get and id on PATH record what the script asks for.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$tmp/bin"
cat > "$tmp/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
pkg="${@: -1}"
if grep -qx "$pkg" "$MISSING_FILE" 2>/dev/null; then exit 1; fi
printf 'install ok installed'
STUB
cat > "$tmp/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get $*" >> "$APT_LOG"
STUB
cat > "$tmp/bin/id" <<'STUB'
#!/usr/bin/env bash
echo 0
STUB
chmod +x "$tmp/bin/"*
export PATH="$tmp/bin:$PATH" APT_LOG="$tmp/apt.log" MISSING_FILE="$tmp/missing"

# 1. Everything present: no output, no apt-get call, exit 0.
: > "$MISSING_FILE"
out=$("$root/scripts/bootstrap" 2>&1) || fail "bootstrap failed with all packages present"
[[ -z "$out" ]] || fail "bootstrap printed something with all packages present: $out"
[[ ! -e "$APT_LOG" ]] || fail "bootstrap called apt-get with all packages present"
"$root/scripts/bootstrap" --check || fail "--check reported missing packages"

# 2. Two packages missing: apt-get installs exactly those two.
printf 'qt6-base-dev\nfonts-wqy-microhei\n' > "$MISSING_FILE"
"$root/scripts/bootstrap" 2>/dev/null || fail "bootstrap failed with packages missing"
grep -q '^apt-get update' "$APT_LOG" || fail "no apt-get update before install"
install=$(grep ' install ' "$APT_LOG") || fail "no apt-get install"
[[ "$install" == *" qt6-base-dev fonts-wqy-microhei"* ]] || fail "wrong install line: $install"
[[ "$install" != *"cmake"* ]] || fail "present packages reinstalled: $install"
if "$root/scripts/bootstrap" --check >/dev/null; then fail "--check did not report missing packages"; fi
echo "bootstrap: 2 passed, 0 failed"
