#!/usr/bin/env bash
# A short tour of the main job with tessaro-cli, run by run.sh on the demo:
# identify the instrument, list its jobs, receive a job's measurements, upload
# them to the FTP server, list the server, download them again and send them
# to another job, where they arrive as that job's fix points.
#   tour.sh TESSARO_CLI PROFILE DEMO_FOLDER
set -euo pipefail
cli=$1 profile=$2 demo=$3
local_file="$demo/computer/Jobs/BRIDGE.TQS"
back_file="$demo/computer/Jobs/BRIDGE-from-server.TQS"
step_number=0

# Prints the step and its command, runs it and indents what it printed.
step() {
  local what=$1
  shift
  step_number=$((step_number + 1))
  echo
  echo "[$step_number/7] $what"
  echo "  \$ tessaro-cli $*"
  local started=$SECONDS status=0
  "$cli" --profile "$profile" "$@" >"$demo/tour.out" 2>&1 || status=$?
  sed 's/^/    /' "$demo/tour.out"
  if ((status != 0)); then
    echo "  failed (exit status $status)"
    return "$status"
  fi
  echo "  done in $((SECONDS - started)) s"
}

echo
echo "A tour with tessaro-cli (every command also takes --profile $profile)."
echo "The instrument's protocol takes its own pauses, so each step on the instrument takes a few seconds."
step "Identify the instrument on COM1" identify
step "List its jobs (number, name, fix point blocks, measurement blocks, empty)" jobs
step "Receive the measurements of job 1 into a file of \"MyComputer\"" \
     receive measurements 1 "$local_file"
echo "  $(wc -l <"$local_file") lines in $local_file, the first: $(head -n 1 "$local_file" | tr -d '\r')"
step "Upload them to the FTP server's folder upload" ftp put "$local_file" upload/BRIDGE.TQS
step "List the server's folder upload (d or -, then the name)" ftp ls upload
step "Download them again" ftp get upload/BRIDGE.TQS "$back_file"
step "Send them to the free job 2 of the instrument, named BRIDGE2: a file sent to a job arrives as its fix points" \
     send job 2 "$back_file" --name BRIDGE2
echo
echo "The instrument's jobs now (job 2 holds the lines as fix point blocks, no measurements):"
"$cli" --profile "$profile" jobs | sed 's/^/    /'
echo
