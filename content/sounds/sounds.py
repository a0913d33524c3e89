#!/usr/bin/env python3
"""The game's sounds. Each entry of SOUNDS makes one WAV file in the run
folder's sounds/ folder: a short MIDI phrase rendered by FluidSynth, or a sox
synthesis chain. The sound palette is set down in content/STYLE.md; the
resource names that play these files are in content/properties/resources.xml.

    sounds.py --list            the file names this script writes
    sounds.py <output folder>   writes every sound
    sounds.py <output folder> <name>...   writes only these
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content"))
import audio  # noqa: E402

# General MIDI programs and percussion keys used below.
MARIMBA, XYLOPHONE, VIBES, GLOCKENSPIEL, CELESTA, MUSIC_BOX = 12, 13, 11, 9, 8, 10
TUBULAR_BELLS, HARP, BRASS, TRUMPET, FRENCH_HORN, STRINGS, PIZZICATO = 14, 46, 61, 56, 60, 48, 45
SYNTH_LEAD, WARM_PAD, CHOIR = 80, 89, 52
HIGH_WOODBLOCK, LOW_WOODBLOCK, TRIANGLE, CRASH, TIMPANI = 76, 77, 81, 49, 47
DRUMS = 9


def midi(notes, tempo=120, end=None, gain=0.6, length=None):
    """notes: (program or 'drum', beat, pitch, beats, velocity); one channel
    per program."""
    def make(wav, work):
        phrase = audio.Phrase(tempo)
        channels = {}
        for program, beat, pitch, beats, velocity in notes:
            if program not in channels:
                channel = DRUMS if program == "drum" else len([c for c in channels.values() if c != DRUMS])
                phrase.instrument(channel, 0 if program == "drum" else program)
                channels[program] = channel
            phrase.note(channels[program], beat, pitch, beats, velocity)
        last = max(b + n for _, b, _, n, _ in notes)
        mid = os.path.join(work, "phrase.mid")
        phrase.write(mid, end if end is not None else last + 4)
        audio.render_midi(mid, wav, gain)
    return make, length


def sox(*effects, length=None):
    """A sox chain from silence: sox(['synth', ...], ['vol', ...])."""
    def make(wav, work):
        audio.run(audio.SOX + ["-n", "-r", str(audio.RATE), "-c", "1", "-b", "32", "-e", "floating-point", wav]
                  + [str(a) for a in effects])
    return make, length


def chord(program, beat, pitches, beats, velocity=90, spread=0.0):
    return [(program, beat + i * spread, p, beats, velocity) for i, p in enumerate(pitches)]


SOUNDS = {
    # Interface: dry wood and soft marimba, short enough to repeat quickly.
    "dialog_show": midi([(MARIMBA, 0, 72, 0.25, 80), (MARIMBA, 0.25, 79, 0.5, 90)], tempo=300),
    "dialog_hide": midi([(MARIMBA, 0, 79, 0.25, 80), (MARIMBA, 0.25, 72, 0.5, 80)], tempo=300),
    "tick": midi([("drum", 0, HIGH_WOODBLOCK, 0.2, 70)], end=0.5, length=0.09),
    "slider": midi([(MARIMBA, 0, 84, 0.3, 85)], tempo=240, length=0.35),
    "pause": midi(chord(VIBES, 0, [67, 64, 60], 0.6, 80, 0.2), tempo=240),
    "unpause": midi(chord(VIBES, 0, [60, 64, 67], 0.6, 80, 0.2), tempo=240),
    # The loading screen's logo: a cartoon spring and bounces, and a jingle.
    "loading_spring": sox("synth", 0.55, "sine", "180-520", "tremolo", 18, 60, "vol", 0.8),
    "loading_bounce": sox("synth", 0.22, "sine", "160-55", "vol", 0.9),
    "logo": midi(chord(CELESTA, 0, [72, 76, 79, 84], 1.5, 85, 0.25)
                 + chord(HARP, 0, [48, 55, 60, 64], 2.5, 70, 0.12), tempo=110),
    # Letters: wooden taps; a ball rolling in pops, the rack's sheen shimmers.
    "letter_place": midi([(XYLOPHONE, 0, 84, 0.3, 90)], tempo=240, length=0.4),
    "letter_clear": midi([(MARIMBA, 0, 67, 0.3, 85)], tempo=240, length=0.4),
    "letter_load": sox("synth", 0.09, "sine", "500-1400", "vol", 0.7),
    "letter_sheen": midi([(GLOCKENSPIEL, i * 0.125, p, 0.5, 70 + 3 * i)
                          for i, p in enumerate([72, 76, 79, 84, 88, 91, 96])], tempo=160),
    # Words: chimes for a found word, a low muted knock for a refused one.
    "word_correct": midi([(VIBES, 0, 76, 0.5, 95), (VIBES, 0.25, 83, 1.0, 100)], tempo=240),
    "word_bingo": midi(chord(GLOCKENSPIEL, 0, [72, 76, 79, 84, 88], 1.0, 100, 0.125)
                       + chord(VIBES, 0.625, [72, 76, 79, 84], 1.5, 90), tempo=200),
    "word_last": sox("synth", 0.25, "pinknoise", "highpass", 1500, "lowpass", 6000,
                     "fade", "t", 0.12, 0.25, 0.12, "vol", 0.6),
    "word_mivel": sox("synth", 0.05, "whitenoise", "bandpass", 3000, 800, "lowpass", 6000, "fade", "q", 0.005, 0.05, 0.03,
                      "pad", 0, 0.03, "repeat", 4, "vol", 0.8),
    "word_reject": midi([(MARIMBA, 0, 50, 0.4, 100), (MARIMBA, 0.25, 45, 0.6, 100),
                         (PIZZICATO, 0.25, 33, 0.6, 80)], tempo=240),
    "word_pass_reveal": midi([(CELESTA, i * 0.25, p, 0.6, 80)
                              for i, p in enumerate([84, 79, 76, 72, 67])], tempo=200),
    # Game events: brass for fanfares, bells for the clock.
    "game_all_words_submitted": midi(chord(BRASS, 0, [60, 64, 67], 0.5, 95) + chord(BRASS, 0.5, [65, 69, 72], 0.5, 95)
                                     + chord(BRASS, 1.0, [67, 71, 74], 0.5, 100) + chord(BRASS, 1.5, [72, 76, 79], 2.0, 110)
                                     + [("drum", 1.5, CRASH, 1.0, 70)], tempo=150),
    "game_clock_countdown": midi([("drum", 0, LOW_WOODBLOCK, 0.2, 100)], end=0.5, length=0.12),
    "game_clock_timeup": midi([(TUBULAR_BELLS, 0, 72, 2.0, 110), (TUBULAR_BELLS, 0, 60, 2.0, 90)], tempo=100),
    "game_high_score_achieved": midi([(TRUMPET, 0, 67, 0.33, 100), (TRUMPET, 0.33, 67, 0.33, 100),
                                      (TRUMPET, 0.67, 67, 0.33, 100), (TRUMPET, 1.0, 72, 2.0, 115)]
                                     + chord(FRENCH_HORN, 1.0, [60, 64, 67], 2.0, 90)
                                     + [("drum", 1.0, CRASH, 1.0, 70)], tempo=140),
    "game_lose_life": midi([(FRENCH_HORN, 0, 67, 0.5, 90), (FRENCH_HORN, 0.5, 63, 0.5, 90),
                            (FRENCH_HORN, 1.0, 60, 1.5, 90)], tempo=150),
    "game_next_round_acheived": midi([(BRASS, i * 0.25, p, 0.5, 95) for i, p in enumerate([60, 64, 67])]
                                     + chord(BRASS, 0.75, [72, 76], 1.5, 105), tempo=160),
    "game_trophy_won": midi(chord(TUBULAR_BELLS, 0, [72, 79, 84], 2.0, 95, 0.15)
                            + [(GLOCKENSPIEL, 0.5 + i * 0.125, p, 0.5, 75) for i, p in enumerate([88, 91, 96, 100])],
                            tempo=130),
    # Lightning rounds: electric blips and sweeps.
    "lightning_hint": midi([(CELESTA, 0, 88, 0.5, 80), (CELESTA, 0.15, 91, 0.8, 80)], tempo=180),
    "lightning_skip": sox("synth", 0.28, "sine", "300-1800", "synth", 0.28, "pinknoise", "mix",
                          "lowpass", 4000, "fade", "t", 0.02, 0.28, 0.15, "vol", 0.5),
    "lightning_start_round": midi(chord(SYNTH_LEAD, 0, [60, 67, 72, 79], 0.4, 95, 0.15)
                                  + chord(STRINGS, 0.6, [60, 67, 72], 1.5, 90), tempo=150),
    "lightning_time_added": midi([(SYNTH_LEAD, 0, 83, 0.25, 90), (SYNTH_LEAD, 0.25, 88, 0.5, 100)], tempo=220,
                                 length=0.45),
    "lightning_time_low": midi([(SYNTH_LEAD, 0, 81, 0.4, 100), (SYNTH_LEAD, 0.5, 76, 0.4, 100)], tempo=200,
                               length=0.6),
    # Crossword: the board turning.
    "crossword_rotate_word": sox("synth", 0.6, "brownnoise", "synth", 0.6, "sine", "amod", "3-9",
                                 "highpass", 400, "lowpass", 3500, "fade", "t", 0.2, 0.6, 0.3, "vol", 0.8),
}


def build(out_folder, names):
    os.makedirs(out_folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        for name in names:
            make, length = SOUNDS[name]
            raw = os.path.join(work, name + "-raw.wav")
            make(raw, work)
            audio.finish_sound(raw, os.path.join(out_folder, name + ".wav"), length)


if __name__ == "__main__":
    audio.script_main(sys.argv, SOUNDS, ".wav", build, __doc__)
