#!/bin/sh
# Gives a first run of Cinvo a small library to show: when the movies
# directory a run would use is the default one beside the program and does
# not exist yet, a handful of short movies are made there. A directory the
# user chose in the parameters is never touched.
#
#   tools/make_demo_movies.sh PROGRAM_DIR     (PROGRAM_DIR holds cinvo)
set -eu

program_dir=$(cd "${1:?usage: $0 PROGRAM_DIR}" && pwd)
default_dir="$program_dir/Movies"

# The movies directory of the settings, if the user set one (key names
# compare without regard to case).
hive=${CINVO_REGISTRY:-${XDG_CONFIG_HOME:-$HOME/.config}/Vessa/registry.json}
chosen=
if [ -f "$hive" ] && command -v jq >/dev/null; then
  chosen=$(jq -r 'def key($k): if type == "object"
                    then (to_entries | map(select((.key | ascii_downcase) == $k)) | first | .value)
                    else null end;
                  key("software") | key("vessa") | key("cinvo") | key("initial") | key("moviedir") | strings' "$hive" 2>/dev/null) || chosen=
fi
if [ -n "$chosen" ] && [ "${chosen%/}" != "$default_dir" ]; then exit 0; fi
if [ -e "$default_dir" ]; then exit 0; fi
if ! command -v ffmpeg >/dev/null; then
  echo "ffmpeg is missing (make deps installs it): no demo movies in $default_dir" >&2
  exit 0
fi

echo "First run: making a few short demo movies in $default_dir"
# Made aside and moved in place whole, so that an interrupted run leaves no
# half library that would never be completed.
work="$program_dir/.Movies.partial.$$"
trap 'rm -rf "$work"' EXIT INT TERM HUP
mkdir -p "$work/Travels"

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
seconds=20

# movie FILE TITLE VIDEO_SOURCE TONE [SECOND_TONE]
movie() {
  file=$1 title=$2 video=$3 tone=$4 second=${5:-}
  set -- -v error -y -f lavfi -t "$seconds" -i "$video=size=640x360:rate=25" \
    -f lavfi -i "sine=frequency=$tone:sample_rate=44100:duration=$seconds"
  maps="-map 0:v -map 1:a"
  if [ -n "$second" ]; then
    set -- "$@" -f lavfi -i "sine=frequency=$second:sample_rate=44100:duration=$seconds"
    maps="$maps -map 2:a"
  fi
  # The title on the picture when the font is there; the picture alone else.
  text="drawtext=fontfile=$font:text='$title':fontsize=28:fontcolor=white:box=1:boxcolor=black@0.5:x=(w-tw)/2:y=h-th-24"
  # shellcheck disable=SC2086
  ffmpeg "$@" -vf "$text" $maps -c:v mpeg4 -vtag XVID -q:v 5 -c:a libmp3lame -b:a 96k "$work/$file" 2>/dev/null ||
    ffmpeg "$@" $maps -c:v mpeg4 -vtag XVID -q:v 5 -c:a libmp3lame -b:a 96k "$work/$file"
}

movie "Harbour at Dawn.avi" "Harbour at Dawn" gradients 440
movie "Night Train.avi" "Night Train" mandelbrot 330
movie "Clockwork.avi" "Clockwork" testsrc2 550
movie "Two Voices.avi" "Two Voices - two sound tracks" testsrc 440 880
movie "Travels/Mountain Road.avi" "Mountain Road" smptehdbars 660

mv "$work" "$default_dir"
trap - EXIT INT TERM HUP
