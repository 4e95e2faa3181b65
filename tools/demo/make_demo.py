#!/usr/bin/env python3
"""Turns the demo's text score into a Standard MIDI File.

    make_demo.py resources/demo/demo.score resources/demo/demo.mid

The score is plain text, one event per line; '#' at the start of a line or after a
space starts a comment:

    [conductor]                     tempo and program changes (the file's track 1)
    0    tempo 100                  quarter notes per minute from beat 0 on
    17   program 2                  program change to program 2 (0-based) at beat 17
    [track NAME channel N]          a track of notes on MIDI channel N (1 to 16)
    0    4    D3 F3 A3   v80        at beat 0, for 4 beats, three notes, velocity 80
    70   end                        optional: the track ends at beat 70

Beats are quarter notes counted from 0 and may be fractions (16.5). Note names
run from C-1 (0) to G9 (127) with C4 = 60; sharps '#' and flats 'b'. The file is
format 1 at 480 ticks per quarter, written with running status.
"""
import re
import struct
import sys

TICKS = 480
COMMENT = re.compile(r"(?:^|\s)#")  # not the sharp in C#4
NOTE = re.compile(r"^([A-Ga-g])([#b]?)(-?\d)$")
STEPS = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def fail(where, message):
    sys.exit(f"{where}: {message}")


def note_number(text, where):
    m = NOTE.match(text)
    if not m:
        fail(where, f"'{text}' is not a note name")
    key = STEPS[m.group(1).upper()] + {"#": 1, "b": -1, "": 0}[m.group(2)]
    number = 12 * (int(m.group(3)) + 1) + key
    if not 0 <= number <= 127:
        fail(where, f"'{text}' is outside the MIDI range")
    return number


def ticks(beat_text, where):
    try:
        beat = float(beat_text)
    except ValueError:
        fail(where, f"'{beat_text}' is not a beat")
    if beat < 0:
        fail(where, "beats count from 0")
    return round(beat * TICKS)


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def track_chunk(events, end_tick):
    """events: (tick, order, bytes); running status drops repeated status bytes."""
    body = bytearray()
    now = 0
    running = None
    for tick, _, data in sorted(events, key=lambda e: (e[0], e[1])):
        body += vlq(tick - now)
        now = tick
        if data[0] < 0xF0 and data[0] == running:
            body += data[1:]
        else:
            body += data
            running = data[0] if data[0] < 0xF0 else None
    body += vlq(max(end_tick - now, 0)) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    tracks = []  # [name, channel, events, end]
    current = None
    for number, raw in enumerate(open(sys.argv[1], encoding="utf-8"), 1):
        where = f"{sys.argv[1]}:{number}"
        line = COMMENT.split(raw, 1)[0].strip()
        if not line:
            continue
        if line.startswith("["):
            words = line.strip("[]").split()
            if words == ["conductor"]:
                current = ["conductor", 0, [], 0]
            elif len(words) == 4 and words[0] == "track" and words[2] == "channel":
                channel = int(words[3])
                if not 1 <= channel <= 16:
                    fail(where, "channels are 1 to 16")
                current = [words[1], channel - 1, [], 0]
            else:
                fail(where, f"unknown section '{line}'")
            tracks.append(current)
            continue
        if current is None:
            fail(where, "an event before the first [section]")
        words = line.split()
        at = ticks(words[0], where)
        events = current[2]
        current[3] = max(current[3], at)
        if len(words) == 2 and words[1] == "end":
            continue
        if current[0] == "conductor":
            if len(words) >= 3 and words[1] == "tempo":
                tempo = round(60_000_000 / float(words[2]))
                events.append((at, 0, b"\xff\x51\x03" + struct.pack(">I", tempo)[1:]))
            elif len(words) >= 3 and words[1] == "program":
                events.append((at, 1, bytes([0xC0, int(words[2])])))
            else:
                fail(where, "the conductor takes 'tempo BPM' and 'program N'")
            continue
        length = ticks(words[1], where)
        velocity = 100
        names = words[2:]
        if names and names[-1].startswith("v"):
            velocity = int(names.pop()[1:])
        if not names or not 1 <= velocity <= 127:
            fail(where, "expected BEAT LENGTH NOTE... [vVELOCITY]")
        channel = current[1]
        for name in names:
            key = note_number(name, where)
            # Note-offs sort before note-ons at the same tick, so a repeated key retriggers.
            events.append((at, 1, bytes([0x90 | channel, key, velocity])))
            events.append((at + length, 0, bytes([0x80 | channel, key, 0])))
            current[3] = max(current[3], at + length)
    end = max(t[3] for t in tracks)
    data = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS)
    for name, _, events, _ in tracks:
        title = b"\xff\x03" + vlq(len(name)) + name.encode()
        data += track_chunk([(0, -1, title)] + events, end)
    open(sys.argv[2], "wb").write(data)
    print(f"{sys.argv[2]}: {len(tracks)} tracks, {end / TICKS:g} beats")


if __name__ == "__main__":
    main()
