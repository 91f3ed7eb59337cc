# Ends the machines that the remote scenes started.
if [ -n "${alpha_pid:-}" ]; then
  : >"$DEMO_DIR_UNIX/alpha.stop"
  wait "$alpha_pid" || true
  say "ALPHA said:"
  tr -d '\r' <"$DEMO_DIR_UNIX/alpha.out"
fi
