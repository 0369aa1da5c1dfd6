# Installs the test bed's stand-in port-I/O driver into the Wine prefix
# (sourced, not run; needs common.sh and a built ship-x64 preset). Wine has
# no port I/O: the stand-in answers the memory test from an emulated
# machine. The driver goes where the program's own install puts it, and the
# service gets its absolute path, which is what Wine can load.
install_standin_driver() {
    local drivers="$WINEPREFIX/drive_c/windows/system32/drivers"
    mkdir -p "$drivers"
    # A new file, not one rewritten in place: a driver still loaded from an
    # earlier run keeps its own image until the setup below stops it.
    cp --remove-destination build/ship-x64/bin/zxq_standin.sys "$drivers/zxq.sys"
    # The driver lives only as long as the Wine session: keep the server up
    # for a minute after the last program, so the benchmark finds it.
    "$WINESERVER" -p60 >/dev/null 2>&1 || true
    "$WINE64" build/ship-x64/bin/standin_driver_setup.exe start 'C:\windows\system32\drivers\zxq.sys'
}
