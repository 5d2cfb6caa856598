#!/bin/sh
# Installs the four FTP servers the interoperability tests start on loopback, and the local
# account they log on with. Run as root on Debian 12 (CI and developer containers).
#
# vsftpd, proftpd-core and pure-ftpd each declare "Conflicts: ftp-server", so apt installs only
# one of them. vsftpd and pyftpdlib come from apt as usual; proftpd and pure-ftpd are unpacked
# from their Debian packages into /opt/tarvoftp-servers (their libraries come from apt). No
# package maintainer script runs for those two, so neither leaves a service behind, and the
# launcher never uses a system service: it starts private instances on free ports.
set -eu

PREFIX=${TVFTP_SERVERS_PREFIX:-/opt/tarvoftp-servers}
ACCOUNT=tarvoftp
PASSWORD=tarvo-pass

export DEBIAN_FRONTEND=noninteractive

# Keep apt's maintainer scripts from starting a daemon on port 21.
added_policy=no
if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
    chmod 755 /usr/sbin/policy-rc.d
    added_policy=yes
fi

# A fresh container has no package lists yet.
if [ -z "$(ls -A /var/lib/apt/lists 2>/dev/null | grep -v -e '^lock$' -e '^partial$')" ]; then
    apt-get update
fi
apt-get install -y --no-install-recommends \
    vsftpd python3-pyftpdlib \
    libacl1 libcap2 libcrypt1 libhiredis0.14 libidn2-0 libmemcached11 libmemcachedutil2 \
    libncursesw6 libpcre2-8-0 libpcre2-posix3 libssl3 zlib1g libsodium23 libpam0g

if [ "$added_policy" = yes ]; then rm -f /usr/sbin/policy-rc.d; fi

# Should a service have been started anyway, stop it: the tests never use it.
if command -v service >/dev/null 2>&1; then service vsftpd stop >/dev/null 2>&1 || true; fi
if [ -f /var/run/vsftpd.pid ]; then kill "$(cat /var/run/vsftpd.pid)" 2>/dev/null || true; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chown _apt "$work" 2>/dev/null || true
(cd "$work" && apt-get download proftpd-core pure-ftpd)
for kind in proftpd pure-ftpd; do
    rm -rf "${PREFIX:?}/$kind"
    mkdir -p "$PREFIX/$kind"
done
dpkg-deb -x "$work"/proftpd-core_*.deb "$PREFIX/proftpd"
dpkg-deb -x "$work"/pure-ftpd_*.deb "$PREFIX/pure-ftpd"

# The local account of the tests. Its shell must be listed in /etc/shells, or vsftpd's PAM
# stack refuses the logon; its home must exist, or vsftpd refuses it before it enters the
# instance's own sample tree, into which every server chroots it.
if ! getent passwd "$ACCOUNT" >/dev/null; then
    useradd --system --no-create-home --home-dir /var/lib/tarvoftp --shell /bin/sh "$ACCOUNT"
fi
mkdir -p "$(getent passwd "$ACCOUNT" | cut -d: -f6)"
echo "$ACCOUNT:$PASSWORD" | chpasswd

echo "FTP servers installed: vsftpd, pyftpdlib, $PREFIX/proftpd, $PREFIX/pure-ftpd"
