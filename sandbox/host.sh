# The simulated host for a run of Quillbay.exe: a display (Xvfb when there is none), a fresh Wine prefix
# with fonts for all three languages, the program in C:\Quillbay (with the console program when cli_exe
# is set), the driver, and the sandbox's stand-in tools. Sourced with build_dir, source_dir, work, app_exe
# and driver_exe set; exports WINEPREFIX, DISPLAY, QB_APP_DIR, QB_DRIVER and QB_DRIVER_LOG;
# starts the sandbox's front (what the bindings serve, on 127.0.0.1; its log in $work/front.log);
# stops everything it started on exit.
# WINEDLLOVERRIDES: no Mono or Gecko installer dialogs.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
xvfb_pid=
cleanup() {
    declare -F front_stop >/dev/null && front_stop
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    [[ -z $xvfb_pid ]] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wineserver -k >/dev/null 2>&1  # a server left by an interrupted run would hold its old state
rm -rf "$work"
mkdir -p "$work"

# The display must exist before Wine's first process, or its windows may never be found.
if [[ -z ${DISPLAY:-} ]]; then
    # Xvfb writes the free display number it picked once it is ready.
    exec {xvfb_out}< <(exec Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>"$work/xvfb.log")
    xvfb_pid=$!
    read -r -t 30 display <&"$xvfb_out" || { echo "Xvfb did not start; see $work/xvfb.log" >&2; exit 1; }
    export DISPLAY=:$display
fi
echo "host: fresh prefix in $WINEPREFIX, display $DISPLAY"

wine_fonts=$(dirname "$(command -v wine)")/../share/wine/fonts
cjk_font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
ui_font=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
wine_reg() { wine reg add "$@" /f </dev/null >>"$work/setup.log" 2>&1 || { echo "reg add $* failed" >&2; return 1; }; }

# make_prefix: wineboot and the settings every run needs. Wine's services get none of our
# standard handles: they inherit those of whatever starts them first, and a test runner waits
# for its pipes to close.
make_prefix() {
    wineboot -i </dev/null >"$work/wineboot.log" 2>&1 || { echo "wineboot failed" >&2; return 1; }
    # Without a window manager, Wine's own frames; avoids a stall when a nested dialog closes.
    wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N || return 1
    # The dialog and menu font (MS Shell Dlg, Tahoma) is drawn with Liberation Sans. Wine's own Tahoma
    # draws its glyphs narrower than it measures them, so every accelerator's underline lands to the
    # right of its letter, past the parenthesis in the longer English menu names.
    wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /d "Liberation Sans" || return 1
    [[ -f $ui_font ]] || echo "host: $ui_font missing; the window is drawn with a substitute font"
    # Chinese glyphs come from the fonts linked behind Tahoma: our CJK font; and since Wine rewrites
    # those links with its defaults (SimSun, PMingLiU, ...) whenever the code page changes between runs,
    # those names point at the same font.
    # The title bar's buttons are glyphs of Marlett: without it they show as the letters "0 1 r".
    cp "$wine_fonts"/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null ||
        echo "host: Wine's Marlett not found; the title bar's buttons show as letters"
    [[ -f $cjk_font ]] || { echo "host: $cjk_font missing; Chinese screenshots will show boxes"; return 0; }
    cp "$cjk_font" "$WINEPREFIX/drive_c/windows/Fonts/"
    local face
    for face in "Tahoma" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
        wine_reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" || return 1
    done
    for face in "SimSun" "PMingLiU" "MingLiU" "Microsoft YaHei UI" "Microsoft JhengHei UI"; do
        wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei" || return 1
    done
}

# That prefix depends only on Wine, this file and the fonts, so it is made once per build
# folder and key, and each run starts from a copy: its DLLs (nine tenths of it, never written)
# as hard links, everything else copied.
key=$({ wine --version; cat "${BASH_SOURCE[0]}"; ls -lL "$wine_fonts"/marlett.ttf "$cjk_font" "$ui_font" "$wine_fonts/../wine.inf"; } 2>&1 |
    sha256sum | cut -c1-16)
template=$build_dir/e2e-prefix-$key
if [[ ! -f $template/.complete ]]; then
    echo "host: making the prefix template $template"
    making=$template.$$
    WINEPREFIX=$making make_prefix || exit 1
    WINEPREFIX=$making wineserver -k
    WINEPREFIX=$making wineserver -w
    # The registry reaches its files when the server ends: check that it did.
    grep -q '"Managed"="N"' "$making/user.reg" || { echo "host: the prefix template lacks its settings" >&2; exit 1; }
    touch "$making/.complete"
    find "$build_dir" -maxdepth 1 -name 'e2e-prefix-*' ! -name "${template##*/}*" -exec rm -rf {} +
    mv -T "$making" "$template" 2>/dev/null || rm -rf "$making"  # another run was quicker
fi
mkdir -p "$WINEPREFIX"
(cd "$template" && tar --exclude='*.dll' --exclude=.complete -cf - . | tar -xf - -C "$WINEPREFIX" &&
    find . -name '*.dll' -type f -print0 | xargs -0 cp -l --parents -t "$WINEPREFIX" 2>/dev/null ||
    find . -name '*.dll' -type f -print0 | xargs -0 cp --remove-destination --parents -t "$WINEPREFIX") ||
    { echo "host: cannot copy $template" >&2; exit 1; }

# One persistent server for the whole run, started with no ties to our standard handles.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

mkdir -p "$WINEPREFIX/drive_c/Quillbay"
cp "$app_exe" ${cli_exe:+"$cli_exe"} "$WINEPREFIX/drive_c/Quillbay/"
cp "$driver_exe" "$work/"
[[ -f $build_dir/sandbox/sbx.exe ]] || { echo "sandbox tools not built ($build_dir/sandbox)" >&2; exit 1; }
bash "$source_dir/sandbox/install.sh" "$WINEPREFIX" "$build_dir/sandbox" </dev/null >"$work/sandbox-install.log" 2>&1 ||
    { echo "sandbox/install.sh failed; see $work/sandbox-install.log" >&2; exit 1; }

export QB_APP_DIR=$WINEPREFIX/drive_c/Quillbay QB_DRIVER=$work/qbdriver.exe QB_DRIVER_LOG=$work/driver.log

# What the simulated machine trusts: the host's roots, and what its Root stores hold (the
# stand-ins keep trusted-roots.pem so), in the place of the host's roots file (own_roots.sh).
# QB_ROOTS_TRUSTED=1 says that a root certutil adds to Root is trusted by the programs.
QB_ROOTS_TRUSTED=
if [[ -n ${QB_OWN_ROOTS:-} ]]; then
    state=$WINEPREFIX/drive_c/ProgramData/QuillbaySandbox
    cp /etc/ssl/certs/ca-certificates.crt "$state/host-roots.pem" && cp "$state/host-roots.pem" "$state/trusted-roots.pem" &&
        mount --bind "$state/trusted-roots.pem" /etc/ssl/certs/ca-certificates.crt ||
        { echo "host: cannot put the simulated machine's roots in place" >&2; exit 1; }
    QB_ROOTS_TRUSTED=1
fi
export QB_ROOTS_TRUSTED

# front_start: the front reads the sandbox's state from the prefix and says "ready" once it
# serves it. front_stop ends it, whichever shell of the run started it ($work/front.pid).
front_start() {
    local ready pid
    exec {front_out}< <(exec python3 "$source_dir/sandbox/front/front.py" "$WINEPREFIX/drive_c/ProgramData/QuillbaySandbox" \
        </dev/null 2>>"$work/front.log")
    pid=$!
    echo "$pid" >"$work/front.pid"
    read -r -t 30 ready <&"$front_out" && [[ $ready == ready ]] || { echo "the front did not start; see $work/front.log" >&2; return 1; }
}
front_stop() {
    local pid
    pid=$(cat "$work/front.pid" 2>/dev/null) && rm -f "$work/front.pid" && kill "$pid" 2>/dev/null || return 0
    tail --pid="$pid" -f /dev/null  # until it has ended (it may be another shell's child)
}
front_start || exit 1
# front_wait PORT: until the front accepts connections there (it opens a port within a moment of
# the binding that needs it), at most 10 s.
front_wait() {
    local i
    for ((i = 0; i < 100; i++)); do
        (: <>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
