#!/usr/bin/env bash
# Makes sure this machine can run the 32-bit (-m32) test programs. Some
# kernels are built or booted without 32-bit support ("Exec format error");
# there the programs run through qemu-user, registered with binfmt_misc so
# that every 32-bit executable (the test programs, and the kestrin tool they
# start) runs transparently. Needs root; does nothing where 32-bit programs
# already run.
set -euo pipefail

probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
printf 'int main(void) { return 0; }\n' > "$probe_dir/probe.c"
gcc -m32 "$probe_dir/probe.c" -o "$probe_dir/probe"
if "$probe_dir/probe" 2>/dev/null; then
  exit 0
fi

echo "This kernel does not run 32-bit programs: running them through qemu-user."
if [ ! -x /usr/bin/qemu-i386 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user
fi
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
  # The ELF header of an i386 executable or PIE; F opens the interpreter now,
  # so it also serves programs started in other mount namespaces.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
    > "$binfmt/register"
fi
"$probe_dir/probe"
