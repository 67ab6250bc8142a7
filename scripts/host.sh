# Sourced by the scripts: the one place that decides what this host can run.
#
# Some x86-64 kernels execute 32-bit programs and some answer "Exec format error"; only on
# the first kind can 32-bit Wine run the 32-bit Windows build. The probe really executes a
# 32-bit program: a 96-byte i386 ELF file, written here byte by byte, that exits with
# status 32 through the kernel's 32-bit system call gate and needs no library.
# The answer (yes/no) is kept in NORVEL_HOST_32BIT for the scripts this one starts;
# setting it beforehand overrides the probe.

norvel_root=${norvel_root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

norvel_probe_32bit() {
  local dir="$norvel_root/build/host-probe" elf
  mkdir -p "$dir"
  # ELF header (class 32, little-endian, i386 executable, entry 0x08048054), one loadable
  # segment of the whole file at 0x08048000, then: mov eax,1 (exit); mov ebx,32; int 0x80.
  elf='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  elf+='\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
  elf+='\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
  elf+='\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
  elf+='\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
  elf+='\xb8\x01\x00\x00\x00\xbb\x20\x00\x00\x00\xcd\x80'
  printf "$elf" >"$dir/exit32" && chmod +x "$dir/exit32"
  local status=0
  "$dir/exit32" 2>/dev/null || status=$?
  [[ $status -eq 32 ]]
}

# Left by scripts/setup-deps.sh where the package archive could not give 32-bit Wine (its
# i386 lists out of step with the others): the host then tests as one that cannot run
# 32-bit programs, until an install succeeds.
norvel_no_wine32_mark="$norvel_root/build/host-probe/no-wine32"

# True when this host runs 32-bit programs (and 32-bit Wine could be installed).
norvel_host_runs_32bit() {
  if [[ -z "${NORVEL_HOST_32BIT:-}" ]]; then
    if ! norvel_probe_32bit; then
      NORVEL_HOST_32BIT=no
    elif [[ -e $norvel_no_wine32_mark ]]; then
      NORVEL_HOST_32BIT=nowine
    else
      NORVEL_HOST_32BIT=yes
    fi
    export NORVEL_HOST_32BIT
  fi
  [[ $NORVEL_HOST_32BIT == yes ]]
}

# The Windows build whose programs this host runs: win32, else win64.
norvel_windows_preset() {
  if norvel_host_runs_32bit; then echo win32; else echo win64; fi
}

# One line saying which Windows build runs here, and why.
norvel_host_says() {
  if norvel_host_runs_32bit; then
    echo "this host runs 32-bit programs: the 32-bit Windows build runs under 32-bit Wine"
  elif [[ $NORVEL_HOST_32BIT == nowine ]]; then
    echo "this host runs 32-bit programs, but 32-bit Wine could not be installed: the 64-bit Windows build runs under wine64 instead"
  else
    echo "this host cannot run 32-bit programs (\"Exec format error\"): the 64-bit Windows build runs under wine64 instead"
  fi
}
