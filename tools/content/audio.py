"""Shared steps of the sound and music builds: MIDI phrases written with mido
and rendered by FluidSynth, sox chains, and the finishing that every shipped
sound goes through (mono 16-bit 44100 Hz, no DC, peaks at -1.5 dBFS, faded
ends), so that nothing clicks and every run gives the same bytes."""
import array
import math
import os
import subprocess
import sys

RATE = 44100
SOUND_FONT = os.environ.get("QMV_SOUND_FONT", "/usr/share/sounds/sf2/TimGM6mb.sf2")
TICKS = 480  # MIDI ticks per beat
SOX = ["sox", "-R", "-D", "-V1"]  # repeatable, no dither, quiet


def run(command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), result.stderr))
    return result


class Phrase:
    """A few MIDI tracks in seconds: note(time, pitch, length, velocity)."""

    def __init__(self, tempo_bpm=120):
        self.tempo = tempo_bpm
        self.channels = {}  # channel -> (program, [events])

    def instrument(self, channel, program, volume=100, pan=64):
        self.channels[channel] = (program, volume, pan, [])
        return channel

    def note(self, channel, beat, pitch, beats, velocity=96):
        self.channels[channel][3].append((beat, pitch, beats, velocity))

    def write(self, path, end_beat):
        import mido  # only the builds need it, not the scripts' --list
        midi = mido.MidiFile(ticks_per_beat=TICKS)
        meta = mido.MidiTrack()
        meta.append(mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(self.tempo), time=0))
        midi.tracks.append(meta)
        for channel, (program, volume, pan, notes) in sorted(self.channels.items()):
            track = mido.MidiTrack()
            track.append(mido.Message("program_change", channel=channel, program=program, time=0))
            track.append(mido.Message("control_change", channel=channel, control=7, value=volume, time=0))
            track.append(mido.Message("control_change", channel=channel, control=10, value=pan, time=0))
            events = []
            for beat, pitch, beats, velocity in notes:
                start = round(beat * TICKS)
                stop = max(start + 1, round((beat + beats) * TICKS) - 1)
                events.append((start, 1, pitch, velocity))
                events.append((stop, 0, pitch, 0))
            events.sort()
            now = 0
            for tick, on, pitch, velocity in events:
                kind = "note_on" if on else "note_off"
                track.append(mido.Message(kind, channel=channel, note=pitch, velocity=velocity, time=tick - now))
                now = tick
            end = round(end_beat * TICKS)
            track.append(mido.MetaMessage("end_of_track", time=max(0, end - now)))
            midi.tracks.append(track)
        midi.save(path)

    def seconds(self, beats):
        return beats * 60.0 / self.tempo


def render_midi(midi_path, wav_path, gain=0.5):
    """FluidSynth renders in non-real-time mode, so its output is the same on
    every run and every machine speed."""
    run(["fluidsynth", "-n", "-i", "-q", "-g", str(gain), "-r", str(RATE), "-O", "float",
         "-T", "wav", "-F", wav_path, SOUND_FONT, midi_path])


PEAK = 10 ** (-1.5 / 20)  # -1.5 dBFS


def envelope(count, fade_in, fade_out):
    """Quarter-sine fades at both ends, 1 between them."""
    rise, fall = max(1, int(fade_in * RATE)), max(1, int(fade_out * RATE))
    env = [1.0] * count
    for i in range(min(rise, count)):
        env[i] = math.sin(0.5 * math.pi * i / rise)
    for i in range(min(fall, count)):
        env[count - 1 - i] = min(env[count - 1 - i], math.sin(0.5 * math.pi * i / fall))
    return env


def finish_sound(source, target, length=None, fade_in=0.002, fade_out=0.03):
    """Mono, 16-bit, trailing silence cut (or cut to `length` seconds), low
    rumble filtered, both ends faded to zero, the mean taken out under the
    fade envelope (so the ends stay at zero) and the peak normalised to
    -1.5 dBFS."""
    raw = target + ".part.raw"
    float_raw = ["-t", "raw", "-r", str(RATE), "-c", "1", "-b", "32", "-e", "floating-point"]
    chain = SOX + [source] + float_raw + [raw]
    if length is not None:
        chain += ["trim", "0", str(length)]
    else:
        chain += ["reverse", "silence", "1", "0.005", "0.02%", "reverse"]
    run(chain + ["highpass", "25"])
    data = read_float_raw(raw)
    if len(data) == 0:
        sys.exit("%s: the sound is silent" % target)
    env = envelope(len(data), fade_in, fade_out)
    faded = [x * e for x, e in zip(data, env)]
    shift = (sum(faded) / len(faded)) / (sum(env) / len(env))
    faded = [x - shift * e for x, e in zip(faded, env)]
    scale = PEAK / max(abs(x) for x in faded)
    write_float_raw(raw, [x * scale for x in faded])
    run(SOX + float_raw + [raw, "-b", "16", "-e", "signed-integer", target])
    os.remove(raw)


def read_float_raw(path):
    data = array.array("f")
    with open(path, "rb") as f:
        data.frombytes(f.read())
    if sys.byteorder != "little":
        data.byteswap()
    return data


def write_float_raw(path, data):
    out = array.array("f", data)
    if sys.byteorder != "little":
        out.byteswap()
    with open(path, "wb") as f:
        f.write(out.tobytes())


def fold_loop(samples, channels, loop_frames):
    """Adds whatever rings on past the loop's end (reverb, releases) onto its
    start, so that playing the loop again and again sounds like one
    continuous performance with no gap and no jump at the join."""
    total = len(samples) // channels
    out = array.array("f", samples[: loop_frames * channels])
    frame = loop_frames
    while frame < total:
        for i in range(min(loop_frames, total - frame) * channels):
            out[i] += samples[frame * channels + i]
        frame += loop_frames
    return out


def quietest_rotation(samples, channels, first, last, window=1024):
    """The frame in [first, last) where the loop is quietest over a window:
    starting the file there puts the join, where a lossy encoder is least
    exact, where there is least to get wrong."""
    frames = len(samples) // channels
    energy = [0.0] * frames
    for f in range(frames):
        energy[f] = sum(samples[f * channels + c] ** 2 for c in range(channels))
    half = window // 2
    best, best_sum = first, None
    for r in range(first, last, 16):
        total = sum(energy[(r + k) % frames] for k in range(-half, half, 4))
        if best_sum is None or total < best_sum:
            best, best_sum = r, total
    # Within that window, the frame nearest to silence on every channel.
    def level(f):
        return sum(abs(samples[((f + k) % frames) * channels + c]) for c in range(channels) for k in (-1, 0))
    return min(range(best - half, best + half), key=level) % frames


def rotate(samples, channels, frame):
    cut = frame * channels
    return samples[cut:] + samples[:cut]


def script_main(argv, names, extension, build, usage):
    """The command line every content script shares: `--list` prints the
    files it writes; `<folder> [name...]` writes all of them or the named."""
    if argv[1:] == ["--list"]:
        print("\n".join(name + extension for name in names))
        return
    if len(argv) < 2:
        sys.exit(usage)
    chosen = argv[2:] or list(names)
    unknown = [n for n in chosen if n not in names]
    if unknown:
        sys.exit("unknown names: " + " ".join(unknown))
    build(argv[1], chosen)
