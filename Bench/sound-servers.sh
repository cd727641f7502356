# Sourced by the benches that run on private sound servers (and scripts/with-pipewire).
# pipewire_run COMMAND... runs the command with a private PipeWire (pipewire, wireplumber and
# pipewire-pulse) whose pulse server has a null sink "ticova_null" as its default, and returns
# its exit code; call it inside dbus-run-session. The PipeWire packages are for the benches
# only: install_pipewire installs them (as root) when missing. Only the processes started here
# are stopped, by their own ids.

# Whether everything pipewire_run needs is installed; names what is missing on stderr.
pipewire_installed() {
  local program
  for program in pipewire wireplumber pipewire-pulse pactl dbus-run-session; do
    if ! command -v "$program" >/dev/null 2>&1; then
      echo "$program is not installed" >&2
      return 1
    fi
  done
}

install_pipewire() {
  if ! command -v pipewire-pulse >/dev/null 2>&1 && [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends pipewire pipewire-pulse wireplumber >/dev/null
  fi
  pipewire_installed
}

pipewire_run() {
  runtime=$(mktemp -d "${TMPDIR:-/tmp}/ticova-pipewire-XXXXXX")
  export XDG_RUNTIME_DIR=$runtime PULSE_RUNTIME_PATH=$runtime/pulse
  unset PULSE_SERVER
  pipewire >"$runtime/pipewire.log" 2>&1 &
  local pw=$!
  sleep 0.5
  wireplumber >"$runtime/wireplumber.log" 2>&1 &
  local wp=$!
  pipewire-pulse >"$runtime/pipewire-pulse.log" 2>&1 &
  local pp=$!
  for _ in $(seq 1 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl load-module module-null-sink sink_name=ticova_null >/dev/null
  sleep 0.5
  pactl set-default-sink ticova_null
  # The server's CPU is that of pipewire, which runs the graph.
  echo "$pw" >"$runtime/server.pid"
  TICOVA_SOUND_SERVER_PIDFILE=$runtime/server.pid "$@"
  local status=$?
  kill "$pp" "$wp" "$pw" 2>/dev/null
  wait "$pp" "$wp" "$pw" 2>/dev/null
  rm -rf "$runtime"
  return $status
}

pipewire_version() {
  pipewire --version 2>/dev/null | sed -n "s/.*libpipewire //p" | head -n 1
}

# Lines of the servers' own chatter that say nothing of the figures.
quiet() { grep -v -e '^ALSA lib' -e '^Cannot connect' -e '^jack server' -e 'JackShm' -e 'Failed to set fd limit'; }
