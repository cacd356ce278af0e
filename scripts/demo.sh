#!/usr/bin/env bash
# Builds kdb2mid and converts the bundled sample database into out/sample:
# every song as MIDI, .kar, LRC and ASS with its chorus recordings, and song
# 50004 also as audio, an UltraStar song, a karaoke video and MP3+G; then
# says what opens what.
set -euo pipefail
cd "$(dirname "$0")/.."

# One line a step, and the build's own progress, so that a slow machine does
# not look hung.
scripts/ensure-deps.sh
echo "== configuring (build/default)"
cmake --preset default >/dev/null
echo "== building kdb2mid (a few minutes the first time)"
cmake --build --preset default --target kdb2mid

tool=build/default/kdb2mid
db=examples/sample-db
out=out/sample
song=50004
# Every run writes the .mid too: the same lyric options keep it the same file.
lyrics=(--kar --lrc --ass)
rm -rf "$out"
echo "== every sample song: MIDI, .kar, LRC and ASS"
"$tool" convert --all -C "$db" -o "$out" "${lyrics[@]}"

# Sound needs a build with audio and a soundfont: Debian's default one, else
# the small one scripts/ensure-deps.sh installs.
soundfont=""
for candidate in /usr/share/sounds/sf2/default-GM.sf2 /usr/share/sounds/sf2/TimGM6mb.sf2; do
    if [ -f "$candidate" ]; then
        soundfont=$candidate
        break
    fi
done
audio=no
if [ -n "$soundfont" ] && "$tool" convert --help | grep -q -- --audio; then
    echo "== song $song: audio and an UltraStar song"
    "$tool" convert "$song" -C "$db" -o "$out" -q "${lyrics[@]}" --audio ogg --soundfont "$soundfont"
    "$tool" convert "$song" -C "$db" -o "$out" -q "${lyrics[@]}" --ultrastar --soundfont "$soundfont"
    audio=yes
fi

# The same song as a karaoke video and as the MP3+G pair karaoke hosts play,
# where this build makes them.
video=no
if [ "$audio" = yes ] && "$tool" convert --help | grep -q -- --video; then
    echo "== song $song: a karaoke video"
    "$tool" convert "$song" -C "$db" -o "$out" -q "${lyrics[@]}" --video --soundfont "$soundfont"
    video=yes
fi
mp3g=no
if [ "$audio" = yes ] && "$tool" convert --help | grep -q -- --cdg; then
    echo "== song $song: MP3+G"
    "$tool" convert "$song" -C "$db" -o "$out" -q "${lyrics[@]}" --cdg --soundfont "$soundfont"
    mp3g=yes
fi

echo
echo "kdb2mid wrote into $out:"
ls -l "$out"
echo
echo "Song $song as kdb2mid info shows it:"
"$tool" info "$song" -C "$db"
echo
echo "What opens what:"
echo "  *.mid          any MIDI player (timidity, fluidsynth, VLC with a soundfont)"
echo "  *.kar          karaoke MIDI players: the words light up as they are sung"
echo "  *.lrc          music players that show lyrics in time with the song"
echo "  *_N.mp3        any audio player: the song's chorus recordings"
if [ "$audio" = yes ]; then
    echo "  $song.ogg      any audio player; with its words: mpv $out/$song.ogg --sub-file=$out/$song.ass"
    echo "  $song/         sing-and-score games (UltraStar Deluxe, Vocaluxe, Performous):"
    echo "                 copy the folder into the game's songs folder"
else
    echo "  *.ass          video players as subtitles (mpv, VLC); this build renders no audio"
fi
if [ "$video" = yes ]; then
    echo "  $song.mp4      any video player, TV, phone or browser: the lyrics on screen as they are sung"
fi
if [ "$mp3g" = yes ]; then
    echo "  $song.cdg + $song.mp3  karaoke hosting programs and players (MP3+G; VLC opens the .cdg)"
fi
