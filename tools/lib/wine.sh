# Sourced by the tools that start Windows programs: which Wine loader runs
# which kind of program, and which kinds this machine can start at all.
# Windows builds come as win32 (i686) and win64 (x86_64).

# The loader for ARCH, from the package that installs it. Debian's wine64
# puts its loader outside PATH, and /usr/bin/wine always prefers the 32-bit
# one when both are installed, so neither can be found by name.
wine_loader() {
  local package name path
  case "$1" in
    win32) package=wine32:i386 name=wine ;;
    win64) package=wine64 name=wine64 ;;
    *) return 1 ;;
  esac
  while read -r path; do
    if [ -f "$path" ] && [ -x "$path" ]; then
      echo "$path"
      return 0
    fi
  done < <(dpkg -L "$package" 2>/dev/null | grep -E "/$name\$")
  return 1
}

# Succeeds when 32-bit programs start here. Some kernels run 64-bit user code
# only; there any i386 program fails with "Exec format error". The 32-bit
# loader is the smallest 32-bit program we can try and the one that matters.
# On failure the reason is on standard output.
host_runs_32bit() {
  local loader out
  if ! loader=$(wine_loader win32); then
    echo "the 32-bit Wine loader (wine32:i386) is not installed"
    return 1
  fi
  if ! out=$("$loader" --version 2>&1 </dev/null); then
    echo "this machine cannot start 32-bit programs ($loader: ${out##*: })"
    return 1
  fi
}

# The Windows build this machine runs best: the primary 32-bit one where it
# starts, otherwise the 64-bit one.
host_windows_arch() {
  if host_runs_32bit >/dev/null; then echo win32; else echo win64; fi
}

# win32 or win64 for a PE file; nothing for anything else.
pe_arch() {
  local file=$1 offset machine
  [ -f "$file" ] && [ "$(head -c 2 "$file" 2>/dev/null)" = MZ ] || return 0
  offset=$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')
  [ -n "$offset" ] || return 0
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$file" | tr -d ' ')
  case "$machine" in
    014c) echo win32 ;;
    8664) echo win64 ;;
  esac
}

# win32 or win64 for an existing prefix; nothing when there is none yet.
prefix_arch() {
  [ -f "$1/system.reg" ] || return 0
  sed -n 's/^#arch=\(win32\|win64\)$/\1/p' "$1/system.reg" | head -n 1
}

# Whether display NUM is still served by the Xvfb of process PID. Started with
# -displayfd, the server has no number on its command line to look for, so
# tools/wine-run keeps "NUM PID" in the prefix's .display file.
display_alive() {
  local num=$1 pid=$2 command
  [ -n "$num" ] && [ -n "$pid" ] && [ -S "/tmp/.X11-unix/X$num" ] || return 1
  command=$(tr '\0' ' ' 2>/dev/null < "/proc/$pid/cmdline") || return 1
  [[ "$command" == "Xvfb "* ]]
}

# Stops the Xvfb that tools/wine-run started for PREFIX, if it still runs.
stop_display() {
  local file="$1.display" num pid
  [ -f "$file" ] || return 0
  read -r num pid < "$file" || true
  if display_alive "$num" "${pid:-}"; then
    kill "$pid" 2>/dev/null || true
  fi
  rm -f "$file"
}
