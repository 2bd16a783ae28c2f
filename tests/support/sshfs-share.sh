#!/usr/bin/env bash
# A real sshfs share served by an sshd of its own on a loopback port, with its own host key and
# a key authorised for this user alone, for tests and benchmarks of a network destination whose
# server stops answering.
#   sshfs-share.sh mount DIR     serves DIR/remote and mounts it at DIR/mnt
#   sshfs-share.sh stop DIR      stops the server (SIGSTOP): the share hangs, as when the
#                                server's machine leaves the network
#   sshfs-share.sh continue DIR  lets the stopped server go on
#   sshfs-share.sh unmount DIR   lets the server go on, unmounts, ends the server, removes DIR
# `mount` exits with 77, saying why on standard error, where sshd, sshfs or FUSE cannot run here.
set -uo pipefail

action=${1:-} dir=${2:-}
[[ -n $action && -n $dir ]] || {
    echo "usage: $0 mount|stop|continue|unmount DIR" >&2
    exit 2
}

refuse() {
    echo "sshfs share refused: $*" >&2
    exit 77
}

# The server and every process it started for the connection, the server first.
server_tree() {
    local pid queue=("$(<"$dir/sshd.pid")")
    while ((${#queue[@]})); do
        pid=${queue[0]}
        queue=("${queue[@]:1}")
        echo "$pid"
        mapfile -t -O "${#queue[@]}" queue < <(pgrep -P "$pid")
    done
}

signal_server() {
    [[ -f $dir/sshd.pid ]] || return 0
    local pid
    for pid in $(server_tree); do kill "-$1" "$pid" 2>/dev/null; done
}

# A loopback port nobody listens on: taken from the kernel's own table of listening sockets.
free_port() {
    local port hex
    for _ in $(seq 50); do
        port=$((20000 + RANDOM % 40000))
        printf -v hex ':%04X ' "$port"
        grep -q " 0A " <(grep -F "$hex" /proc/net/tcp /proc/net/tcp6 2>/dev/null) || {
            echo "$port"
            return
        }
    done
    return 1
}

mount_share() {
    local sshd=/usr/sbin/sshd user port
    [[ -x $sshd ]] || refuse "no $sshd (package openssh-server)"
    command -v sshfs >/dev/null || refuse "no sshfs (package sshfs)"
    [[ -c /dev/fuse && -r /dev/fuse && -w /dev/fuse ]] || refuse "/dev/fuse cannot be opened"
    user=$(id -un)
    mkdir -p "$dir/remote" "$dir/mnt" || refuse "cannot make $dir"
    # sshd run by root separates privileges into this empty folder; the system's service makes it.
    [[ $(id -u) -ne 0 ]] || mkdir -p -m 0755 /run/sshd
    ssh-keygen -q -t ed25519 -N '' -f "$dir/host_key" || refuse "ssh-keygen failed"
    ssh-keygen -q -t ed25519 -N '' -f "$dir/client_key" || refuse "ssh-keygen failed"
    cp "$dir/client_key.pub" "$dir/authorized_keys"
    : >"$dir/ssh_config"
    port=$(free_port) || refuse "no free loopback port"
    echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$dir/host_key.pub")" >"$dir/known_hosts"
    cat >"$dir/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $port
HostKey $dir/host_key
AuthorizedKeysFile $dir/authorized_keys
AllowUsers $user
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
UseDNS no
Subsystem sftp internal-sftp
LogLevel ERROR
EOF
    "$sshd" -D -e -f "$dir/sshd_config" </dev/null >/dev/null 2>"$dir/sshd.log" &
    echo $! >"$dir/sshd.pid"
    # Listening once the kernel lists the port as listening; an sshd that ended has failed.
    local hex
    printf -v hex ':%04X ' "$port"
    for _ in $(seq 1000); do
        grep -F "$hex" /proc/net/tcp 2>/dev/null | grep -q " 0A " && break
        kill -0 "$(<"$dir/sshd.pid")" 2>/dev/null || refuse "sshd did not start: $(<"$dir/sshd.log")"
        sleep 0.01
    done
    # No keep-alive and no reconnection: a server that stops answering makes the share hang.
    sshfs -F "$dir/ssh_config" -p "$port" \
        -o "IdentityFile=$dir/client_key,UserKnownHostsFile=$dir/known_hosts" \
        -o StrictHostKeyChecking=yes,BatchMode=yes,IdentitiesOnly=yes \
        "$user@127.0.0.1:$dir/remote" "$dir/mnt" 2>"$dir/sshfs.log" || {
        signal_server TERM
        refuse "sshfs failed: $(<"$dir/sshfs.log") $(<"$dir/sshd.log")"
    }
}

unmount_share() {
    signal_server CONT
    if mountpoint -q "$dir/mnt"; then
        fusermount3 -u "$dir/mnt" 2>/dev/null || fusermount -u "$dir/mnt" 2>/dev/null ||
            umount -l "$dir/mnt" 2>/dev/null
    fi
    signal_server TERM
    if [[ -f $dir/sshd.pid ]]; then
        local pid
        pid=$(<"$dir/sshd.pid")
        # Ended once gone or a zombie: whoever inherited it reaps it.
        for _ in $(seq 500); do
            [[ $(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null) == [^Z] ]] || break
            sleep 0.01
        done
    fi
    [[ ! -f $dir/sshd_config ]] || mountpoint -q "$dir/mnt" || rm -rf "$dir"
}

case $action in
mount) mount_share ;;
stop) signal_server STOP ;;
continue) signal_server CONT ;;
unmount) unmount_share ;;
*)
    echo "unknown action: $action" >&2
    exit 2
    ;;
esac
