# Sourced by the idle cost scripts: a process's CPU time and wake-ups over a
# stretch, from /proc, thread by thread, since GLib's worker threads come and
# go (schedstat's nanoseconds on the CPU, and the context switches: a thread
# that blocks and wakes again switches once).

# One line per thread: its id, nanoseconds on the CPU, context switches.
thread_sample() {
  for task in /proc/"$1"/task/*; do
    echo "${task##*/} $(cut -d' ' -f1 "$task/schedstat")" \
      "$(awk '/^(non)?voluntary_ctxt_switches/ {s += $2} END {print s}' "$task/status")"
  done
}

# The figures between two samples, after the words `what`; a thread that has
# ended between them is counted as such, its last stretch unseen.
thread_figures() {
  awk -v what="$1" -v t="$2" 'NR == FNR {cpu[$1] = $2; switches[$1] = $3; next}
      {c += $2 - cpu[$1]; s += $3 - switches[$1]; delete cpu[$1]; n++}
      END {
          for (gone in cpu) ended++
          printf "%s waiting %d s: %.4f s CPU, %d wake-ups (%d threads, %d ended meanwhile)\n",
                 what, t, c / 1e9, s, n, ended
      }' "$3" "$4"
}
