# Sourced by scripts/test and .ci/run: `stage NAME COMMAND...` runs a stage,
# prints how long it took, and on the way out (also after a failure) every
# stage's time, so that a change that slows one is seen at once.
stage_names=()
stage_seconds=()
stage() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  stage_names+=("$name")
  stage_seconds+=($((SECONDS - start)))
  echo "== $name: $((SECONDS - start)) s"
}
# A command whose standard output nobody reads.
quietly() { "$@" >/dev/null; }
print_stage_times() {
  local status=$? i
  ((${#stage_names[@]})) || return $status
  echo "== stage times (s)${1:+ of $1}"
  for i in "${!stage_names[@]}"; do
    printf '%6d  %s\n' "${stage_seconds[$i]}" "${stage_names[$i]}"
  done
  printf '%6d  all%s\n' "$SECONDS" "$( ((status)) && echo ", failed (exit $status)")"
  return $status
}
