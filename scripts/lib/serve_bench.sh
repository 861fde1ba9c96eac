# serve_bench_run SECONDS FILE: `kv9240b serve` polling 4 lines of 32 simulated
# sensors at 19200 baud as fast as the wires allow, for SECONDS after a first
# minute, its /metrics page fetched every second; then `kv9240b watch` reading
# the 32 stations of one line for a minute at the shortest period it takes
# (600 ms), for the CPU an exchange costs it.
# KV9240B_BENCH_SERVE_WARMUP shortens the two minutes for a quick try.
# "key value" lines in FILE. Needs $sim, $cli, $out, pids, start_bench_sim,
# cpu_ns from the bench script.
serve_bench_run() {
  local seconds="$1" file="$2" config devices=() port line station
  for line in 1 2 3 4; do
    start_bench_sim "$(mktemp -p "$out")" --baud 19200 --quiet --station "$(seq -s, 1 32)"
    devices+=("$BENCH_DEVICE")
  done
  port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  config="$out/serve.toml"
  {
    echo "poll_interval_ms = 100"
    echo "retries = 0"
    echo "[prometheus]"
    echo "enabled = true"
    echo "listen = \"127.0.0.1:$port\""
    for line in 1 2 3 4; do
      echo "[[line]]"
      echo "name = \"bus$line\""
      echo "port = \"${devices[$((line - 1))]}\""
      echo "baud = 19200"
      for station in $(seq 1 32); do
        echo "  [[line.sensor]]"
        echo "  station = $station"
        echo "  name = \"s$station\""
      done
    done
  } >"$config"
  "$cli" serve --config "$config" 2>"$out/serve.log" &
  local serve_pid=$!
  pids+=("$serve_pid")
  # exchanges: every exchange the page counts, all outcomes; sound: those with "ok".
  page() { curl -s -o "$out/page" -w '%{time_total}\n' "http://127.0.0.1:$port/metrics"; }
  count() { awk -v want="${1:-}" '/^kv9240b_exchanges_total/ { if (want == "" || $0 ~ "outcome=\"" want "\"") s += $NF } END { printf "%d\n", s }' "$out/page"; }
  rss() { awk '/^VmRSS/ { print $2 }' /proc/"$serve_pid"/status; }
  until page >/dev/null 2>&1 && [ "$(count)" -gt 0 ]; do sleep 0.2; done
  sleep "${KV9240B_BENCH_SERVE_WARMUP:-60}"
  page >/dev/null
  local c0 n0 s0 r0 t0
  c0="$(cpu_ns "$serve_pid")" n0="$(count)" s0="$(count ok)" r0="$(rss)" t0="$(date +%s)"
  : >"$out/page-times"
  while [ $(($(date +%s) - t0)) -lt "$seconds" ]; do
    page >>"$out/page-times"
    sleep 1
  done
  page >/dev/null
  local c1 n1 s1 r1
  c1="$(cpu_ns "$serve_pid")" n1="$(count)" s1="$(count ok)" r1="$(rss)"
  kill -TERM "$serve_pid"
  wait "$serve_pid" 2>/dev/null || true
  # watch over the 32 stations of the first line, for a minute.
  local records="$out/watch.csv"
  "$cli" watch -p "${devices[0]}" -b 19200 -s 1-32 -i 600 -f csv -o "$records" 2>/dev/null &
  local watch_pid=$!
  pids+=("$watch_pid")
  sleep 5
  local w0 wn0 w1 wn1
  w0="$(cpu_ns "$watch_pid")" wn0="$(grep -c ',ok$' "$records" || true)"
  sleep "${KV9240B_BENCH_SERVE_WARMUP:-60}"
  w1="$(cpu_ns "$watch_pid")" wn1="$(grep -c ',ok$' "$records" || true)"
  kill -INT "$watch_pid"
  wait "$watch_pid" 2>/dev/null || true
  {
    echo "seconds $seconds"
    echo "exchanges $((n1 - n0))"
    echo "sound $((s1 - s0))"
    echo "exchanges_per_second $(echo "scale=1; ($n1 - $n0) / $seconds" | bc -l)"
    echo "cpu_per_exchange_ms $(echo "scale=4; ($c1 - $c0) / 1000000 / ($n1 - $n0)" | bc -l)"
    echo "rss_after_first_minute_kb $r0"
    echo "rss_end_kb $r1"
    echo "watch_exchanges $((wn1 - wn0))"
    echo "watch_cpu_per_exchange_ms $(echo "scale=4; ($w1 - $w0) / 1000000 / ($wn1 - $wn0)" | bc -l)"
    sort -n "$out/page-times" | awk '{ v[NR] = $1 * 1000 } END { if (NR) printf "page_ms_median %.2f\npage_ms_p95 %.2f\npage_ms_worst %.2f\npages %d\n", v[int((NR + 1) / 2)], v[int(NR * 0.95 + 0.999)], v[NR], NR }'
  } >"$file"
}
