#!/usr/bin/env bash
# Renders a vask project on a Slurm cluster as a job array: one task per
# chunk of frames, every task writing into the same output pattern.
#
#   sbatch --array=0-9 farm/slurm-array.sh shot.json 240 24
#
# renders the 240 frames of shot.json in 10 chunks of 24. Adapt the
# #SBATCH lines to your cluster; the output folder must be shared by the
# nodes. A task run again (after a node failed) renders only the frames that
# are missing (--skip-existing). Frames are the same bytes whichever node or
# core count renders them.
#SBATCH --job-name=vask-render
#SBATCH --cpus-per-task=4
#SBATCH --mem=4G
#SBATCH --time=01:00:00
#SBATCH --output=vask-%A_%a.log
set -euo pipefail

project="$1"          # the project file, on shared storage
frames="$2"           # the composition's frame count (vask check prints it)
chunk="$3"            # frames per task
out="${OUT:-renders/$(basename "$project" .json)_####.png}"
start="${START_NUMBER:-0}"   # e.g. 1001 for a pipeline that numbers from 1001
vask="${VASK:-vask}"

index="${SLURM_ARRAY_TASK_ID:?run this with sbatch --array}"
first=$((index * chunk))
last=$((first + chunk - 1))
if ((last >= frames)); then last=$((frames - 1)); fi
if ((first > last)); then echo "task $index: no frames left"; exit 0; fi

exec "$vask" render "$project" --frames "$first-$last" --out "$out" \
  --start-number "$start" --skip-existing --threads "${SLURM_CPUS_PER_TASK:-1}"
