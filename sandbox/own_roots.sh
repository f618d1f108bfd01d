# Sourced first, with its path and arguments, by a script that starts the sandbox host: runs that
# script again in a mount namespace of its own where the machine allows one. There host.sh puts
# the simulated machine's trusted roots in the place of the Linux host's roots file, the only
# roots Wine's chain engine trusts; the namespace ends with the script, and the host's file is
# never changed. QB_OWN_ROOTS=1 tells host.sh that it may.
if [[ -z ${QB_OWN_ROOTS:-} && -f /etc/ssl/certs/ca-certificates.crt ]]; then
    for flags in -m -rm; do  # as root; else as root of a user namespace, where the machine allows
        unshare "$flags" true 2>/dev/null && QB_OWN_ROOTS=1 exec unshare "$flags" -- bash "$@"
    done
    echo "note: no mount namespace here; the simulated machine trusts only the host's roots" >&2
fi
