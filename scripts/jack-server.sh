# Sourced by ./test and scripts/bench: a private JACK server on the dummy driver.
# start_jack_server DIR  — starts a JACK server of this run's own; sets jack_pid.
# stop_jack_server       — stops the one we started.
# Each run names its server (JACK_DEFAULT_SERVER, which every JACK client reads), so two
# runs at once, or a user's own JACK session, never share or stop each other's server.
# SUITE_JACK_SERVER names a server that is already running, to use instead.
start_jack_server() {
  export JACK_NO_START_SERVER=1
  if [ -n "${SUITE_JACK_SERVER:-}" ]; then
    export JACK_DEFAULT_SERVER="$SUITE_JACK_SERVER"
    # jack_wait -c exits 0 either way; its answer is the word it prints.
    if [ "$(jack_wait -c 2>/dev/null)" = "running" ]; then
      echo "jack: using the running JACK server '$SUITE_JACK_SERVER'"; return 0
    fi
    echo "jack: no JACK server '$SUITE_JACK_SERVER' is running; JACK tests will fail" >&2
    return 1
  fi
  if ! command -v jackd >/dev/null; then
    echo "jack: jackd is not installed; JACK tests will fail" >&2; return 1
  fi
  export JACK_DEFAULT_SERVER="suite-$$-$RANDOM"
  # Not synchronous (-S): there the server waits for every client each period, and each
  # test program that ends stalls it for seconds.
  # Real-time (SCHED_FIFO, also for its clients' process threads) where the system allows
  # it: on a loaded machine a server without it misses periods, and MIDI in a missed
  # period is lost for every client. Elsewhere it runs without.
  local realtime=--no-realtime
  if command -v chrt >/dev/null && chrt -f 10 true 2>/dev/null; then realtime=--realtime; fi
  jackd -n "$JACK_DEFAULT_SERVER" "$realtime" -d dummy -r 44100 -p 512 >"$1/jackd.log" 2>&1 &
  jack_pid=$!
  disown "$jack_pid" 2>/dev/null   # its end is ours to watch, not the shell's to report
  jack_wait -w -t 10 >/dev/null 2>&1
  if [ "$(jack_wait -c 2>/dev/null)" = "running" ]; then
    echo "jack: server started (dummy driver, ${realtime#--}, pid $jack_pid)"; return 0
  fi
  echo "jack: the server did not start; JACK tests will fail. Its log:" >&2
  cat "$1/jackd.log" >&2
  kill "$jack_pid" 2>/dev/null; jack_pid=""
  return 1
}
stop_jack_server() {
  [ -n "${jack_pid:-}" ] || return 0
  kill "$jack_pid" 2>/dev/null
  # A server killed outright keeps its entry in JACK's table of servers, which holds 8:
  # once it is full of dead names no server starts on this machine. So give it long to go
  # (a loaded machine needs more than the usual 2 s) before forcing it.
  for _ in $(seq 1 300); do kill -0 "$jack_pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$jack_pid" 2>/dev/null
  jack_pid=""
}
