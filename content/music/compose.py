#!/usr/bin/env python3
"""The game's music: four looping pieces composed here as MIDI, rendered by
FluidSynth, folded so that they loop without a gap, and encoded as Ogg
Vorbis. Melodies are drawn from a random generator with a fixed seed per
piece, so every build writes the same notes and the same bytes.

    compose.py --list            the file names this script writes
    compose.py <output folder> [name...]
"""
import os
import random
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content"))
import audio  # noqa: E402

# Chords as semitones above the key's root (0 = I, 5 = IV, 7 = V, 9 = vi, 2 = ii).
MAJOR = {0: (0, 4, 7), 2: (2, 5, 9), 4: (4, 7, 11), 5: (5, 9, 12), 7: (7, 11, 14), 9: (9, 12, 16)}
SCALE = (0, 2, 4, 5, 7, 9, 11)


class Piece:
    def __init__(self, name, tempo, key, progression, seed, serial):
        self.name, self.tempo, self.key, self.progression = name, tempo, key, progression
        self.random = random.Random(seed)
        self.serial = serial  # the Ogg stream's serial number: fixed for repeatable files
        self.phrase = audio.Phrase(tempo)
        self.beats = 4 * len(progression)

    def chord(self, bar):
        return [self.key + n for n in MAJOR[self.progression[bar]]]

    def pad(self, channel, octave=0, velocity=60):
        for bar in range(len(self.progression)):
            for pitch in self.chord(bar):
                self.phrase.note(channel, 4 * bar, pitch + 12 * octave, 4, velocity)

    def bass(self, channel, pattern=((0, 2), (2, 1.5), (3.5, 0.5)), velocity=85):
        for bar in range(len(self.progression)):
            root = self.chord(bar)[0] - 24
            for i, (beat, length) in enumerate(pattern):
                pitch = root + (7 if i == len(pattern) - 1 and len(pattern) > 2 else 0)
                self.phrase.note(channel, 4 * bar + beat, pitch, length, velocity)

    def arpeggio(self, channel, step=0.5, octave=1, velocity=70):
        for bar in range(len(self.progression)):
            notes = self.chord(bar)
            order = notes + [notes[0] + 12] + notes[::-1][1:]
            beat = 0.0
            i = 0
            while beat < 4 - 1e-9:
                self.phrase.note(channel, 4 * bar + beat, order[i % len(order)] + 12 * octave, step, velocity)
                beat += step
                i += 1

    def melody(self, channel, octave=1, rhythm=(1, 1, 0.5, 0.5, 1), velocity=90, rest=0.2):
        """Walks the scale, leaning on chord tones at the start of each bar and
        coming home to the key's root at the end so the loop closes."""
        bars = len(self.progression)
        degree = 0
        for bar in range(bars):
            chord_tones = [(n - self.key) % 12 for n in self.chord(bar)]
            beat = 0.0
            i = 0
            while beat < 4 - 1e-9:
                length = min(rhythm[i % len(rhythm)], 4 - beat)
                last = bar == bars - 1 and beat + length >= 4 - 1e-9
                if beat == 0 or last:
                    target = 0 if last else self.random.choice(chord_tones)
                    degree = min(range(-3, 10), key=lambda d: abs(self._pc(d) - target) + 0.1 * abs(d - degree)
                                 if self._pc(d) == target else 99)
                else:
                    degree = max(-2, min(9, degree + self.random.choice((-2, -1, -1, 1, 1, 2))))
                if last or self.random.random() >= rest:
                    pitch = self.key + 12 * octave + 12 * (degree // 7) + SCALE[degree % 7]
                    self.phrase.note(channel, 4 * bar + beat, pitch, length * 0.95, velocity)
                beat += length
                i += 1

    def _pc(self, degree):
        return SCALE[degree % 7]

    def drums(self, pattern, velocity=70):
        """pattern: (beat within the bar, GM percussion key)."""
        channel = 9
        if channel not in self.phrase.channels:
            self.phrase.instrument(channel, 0, volume=90)
        for bar in range(len(self.progression)):
            for beat, key in pattern:
                self.phrase.note(channel, 4 * bar + beat, key, 0.25, velocity)


def load_music():
    # Waiting while the game loads: calm, spacious pads under a harp.
    p = Piece("game_load", 84, 60, [0, 9, 5, 7, 0, 9, 2, 7], seed=11, serial=0x5149_0001)
    p.pad(p.phrase.instrument(0, 89, volume=70), octave=0, velocity=55)       # warm pad
    p.arpeggio(p.phrase.instrument(1, 46, volume=85), step=0.5, octave=0)    # harp
    p.bass(p.phrase.instrument(2, 32, volume=80), pattern=((0, 4),))          # acoustic bass
    return p


def menu_music():
    # The main menu: light and friendly, piano melody over a walking bass.
    p = Piece("menu", 104, 65, [0, 5, 9, 7, 0, 5, 2, 7], seed=23, serial=0x5149_0002)
    p.melody(p.phrase.instrument(0, 0, volume=95), octave=1, rhythm=(1, 0.5, 0.5, 1, 1))  # piano
    p.pad(p.phrase.instrument(1, 48, volume=60), octave=0, velocity=50)                  # strings
    p.bass(p.phrase.instrument(2, 33, volume=90))                                        # finger bass
    p.drums([(0, 36), (1, 42), (2, 38), (3, 42), (2.5, 42)], velocity=55)
    return p


def trophy_music():
    # The trophy room: stately strings and horn, a little ceremony.
    p = Piece("trophy_room", 72, 62, [0, 7, 9, 5, 2, 7, 0, 7], seed=37, serial=0x5149_0003)
    p.pad(p.phrase.instrument(0, 48, volume=80), octave=0, velocity=60)            # strings
    p.melody(p.phrase.instrument(1, 60, volume=90), octave=1, rhythm=(2, 1, 1), rest=0.1)  # horn
    p.arpeggio(p.phrase.instrument(2, 46, volume=70), step=1, octave=1, velocity=55)   # harp
    p.bass(p.phrase.instrument(3, 42, volume=75), pattern=((0, 2), (2, 2)))         # cello
    return p


def ingame_music():
    # During a round: unobtrusive, steady, a soft electric piano that leaves
    # room for the game's sounds.
    p = Piece("in-game_1", 96, 57, [0, 5, 9, 7, 0, 5, 7, 7, 9, 5, 0, 7, 2, 5, 7, 0], seed=53, serial=0x5149_0004)
    p.arpeggio(p.phrase.instrument(0, 4, volume=75), step=0.5, octave=1, velocity=60)   # electric piano
    p.pad(p.phrase.instrument(1, 89, volume=55), octave=0, velocity=45)                 # warm pad
    p.bass(p.phrase.instrument(2, 33, volume=80), pattern=((0, 1.5), (1.5, 0.5), (2, 2)))
    p.melody(p.phrase.instrument(3, 11, volume=70), octave=2, rhythm=(1.5, 0.5, 2), rest=0.45, velocity=70)  # vibes
    p.drums([(0, 42), (1, 42), (2, 42), (3, 42), (1, 37), (3, 37)], velocity=40)
    return p


PIECES = {"game_load": load_music, "menu": menu_music, "trophy_room": trophy_music, "in-game_1": ingame_music}


def build(out_folder, names):
    os.makedirs(out_folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        for name in names:
            piece = PIECES[name]()
            mid = os.path.join(work, name + ".mid")
            wav = os.path.join(work, name + ".wav")
            raw = os.path.join(work, name + ".raw")
            # Rendered with a few bars of room for the last notes to ring out.
            piece.phrase.write(mid, piece.beats + 8)
            audio.render_midi(mid, wav, gain=0.4)
            audio.run(audio.SOX + [wav, "-t", "raw", "-e", "floating-point", "-b", "32", "-c", "2", raw])
            frames = round(piece.phrase.seconds(piece.beats) * audio.RATE)
            looped = audio.fold_loop(audio.read_float_raw(raw), 2, frames)
            beat = round(piece.phrase.seconds(1) * audio.RATE)
            start = audio.quietest_rotation(looped, 2, frames - beat, frames)
            looped = audio.rotate(looped, 2, start)
            # No offset: the mean of each channel is taken out, which a loop
            # allows (a constant shift keeps the join whole).
            for c in range(2):
                mean = sum(looped[c::2]) / frames
                for i in range(c, len(looped), 2):
                    looped[i] -= mean
            # Normalised to -2 dBFS: the encoder's ripple stays under -1 dBFS.
            peak = max(abs(x) for x in looped)
            audio.write_float_raw(raw, [x * (10 ** (-2 / 20) / peak) for x in looped])
            pcm = os.path.join(work, name + "-16.wav")
            audio.run(audio.SOX + ["-t", "raw", "-r", str(audio.RATE), "-c", "2", "-e", "floating-point", "-b", "32",
                                   raw, "-b", "16", "-e", "signed-integer", pcm])
            audio.run(["oggenc", "-Q", "-q", "3", "-s", str(piece.serial), "-o",
                       os.path.join(out_folder, name + ".ogg"), pcm])


if __name__ == "__main__":
    audio.script_main(sys.argv, PIECES, ".ogg", build, __doc__)
