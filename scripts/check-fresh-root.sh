#!/usr/bin/env bash
# Checks the README's two commands on a fresh minimal Debian 12 with nothing installed by hand:
# makes a minbase root with debootstrap, clones this repository's last commit into it and runs
# scripts/test.sh, then scripts/run.sh without a display (it must say so at once) and under
# xvfb-run for a few seconds (the panel must come up on the virtual projector). Run it after
# every change of dependencies. Needs root and the package debootstrap.
#   scripts/check-fresh-root.sh ROOT_DIR        (ROOT_DIR must not exist; it is kept afterwards)
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:?usage: scripts/check-fresh-root.sh ROOT_DIR}
mirror=${MIRROR:-http://deb.debian.org/debian}
[ ! -e "$root" ] || { echo "check-fresh-root: $root exists; give a new folder" >&2; exit 1; }

debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log"
mounted=()
unmount_all() {
    # A process that was just stopped can hold a mount for a moment.
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || { sleep 3 && umount "${mounted[i]}"; } ||
            echo "check-fresh-root: still mounted: ${mounted[i]}" >&2
    done
}
trap unmount_all EXIT
# The ptys of the tests need /dev/pts; private mounts keep the host's tree untouched.
for m in proc sys dev dev/pts; do
    mount --bind "/$m" "$root/$m"
    mount --make-private "$root/$m"
    mounted+=("$root/$m")
done
git clone -q . "$root/root/zeva-control"
# A machine that reaches the npm registry through a proxy of its own trusts that proxy's
# certificate; the root's npm gets the host's certificates beside its own, nothing else.
ca_env=
if [ -r /etc/ssl/certs/ca-certificates.crt ]; then
    cp /etc/ssl/certs/ca-certificates.crt "$root/root/host-ca.crt"
    ca_env=NODE_EXTRA_CA_CERTS=/root/host-ca.crt
fi

in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb $ca_env \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c "cd /root/zeva-control && $1"
}
step() { echo "== $1"; }

step "scripts/test.sh"
in_root ./scripts/test.sh

step "scripts/run.sh without a display"
start=$(date +%s)
if in_root ./scripts/run.sh; then echo "run.sh started without a display" >&2; exit 1; fi
echo "answered in $(($(date +%s) - start)) s"

step "scripts/run.sh under xvfb-run for 20 s"
in_root "apt-get install -y -qq --no-install-recommends xvfb xauth >/dev/null"
status=0
in_root "timeout 20 xvfb-run -a ./scripts/run.sh" || status=$?
# 124: the panel was still open when the time ran out.
[ "$status" -eq 124 ] || { echo "run.sh under xvfb-run ended with status $status" >&2; exit 1; }
echo "fresh root: both commands passed"
