# Shared settings of the project's scripts (sourced, not run).
TESSARIN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TESSARIN_CACHE="$TESSARIN_ROOT/.cache"
export WINEPREFIX="$TESSARIN_CACHE/wineprefix"
export WINEDEBUG=-all
# The 64-bit loader directly: /usr/bin/wine prefers the 32-bit loader, which
# cannot start on a kernel without 32-bit support.
export WINELOADER=/usr/lib/wine/wine64
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY

# True when this machine can run 32-bit programs (the kernel may have
# 32-bit support switched off, then only the 64-bit builds can run).
# TESSARIN_NO_32BIT=1 makes a machine that can act as one that cannot.
can_run_32bit() {
    [ "${TESSARIN_NO_32BIT:-}" != 1 ] && [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Wine has no defragmenter for the disk test to analyse drives with: the
# prefix gets the test bed's stand-in, each build that exists in its own
# system folder (run from the project's root).
install_standin_defrag() {
    local windows="$WINEPREFIX/drive_c/windows"
    cp build/ship-x64/bin/defrag.exe "$windows/system32/defrag.exe"
    if [ -f build/ship-x86/bin/defrag.exe ]; then
        cp build/ship-x86/bin/defrag.exe "$windows/syswow64/defrag.exe"
    fi
}
