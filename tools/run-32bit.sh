#!/usr/bin/env bash
# Makes sure this machine can run the 32-bit x86 build's programs. Some
# kernels have their 32-bit emulation switched off; there the programs run
# under Debian's qemu-i386-static, registered as the interpreter of 32-bit
# x86 ELF files (binfmt_misc). Needs root; does nothing where 32-bit
# programs already run.
set -euo pipefail

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'int main(void) { return 0; }' | gcc -m32 -x c - -o "$probe/probe"
if "$probe/probe" 2>/dev/null; then
    echo "run-32bit: 32-bit programs run natively"
    exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends qemu-user-static
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$binfmt/talvo-i386" ]; then
    # ELF, 32-bit, little-endian, executable or shared object (PIE), i386.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":talvo-i386:M::${magic}:${mask}:/usr/bin/qemu-i386-static:F" > "$binfmt/register"
fi
"$probe/probe"
echo "run-32bit: 32-bit programs run under qemu-i386-static"
