#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus into corpus/ beside this script: a few short
inputs that reach each part of the tick, in the input format that
state_tick_fuzzer.cpp describes."""
import pathlib
import struct

NO_FILE = 17


def battery(percent):
    return bytes([0, percent * 2 if percent <= 100 else 255])


def external(percent):
    return bytes([5, percent * 2])


def unknown_line(percent):
    return bytes([8, percent * 2])


def odd_line(op, percent):
    assert op & 15 == 9
    return bytes([op, percent * 2])


FAILED_READ = bytes([10, 0])
RESTART = bytes([12, 0])


def again(times):
    return bytes([11, times - 1])


def nest(count):
    return bytes([13, count - 1])


def no_file():
    return bytes([NO_FILE])


def state_file(started, remaining, active, suppressed, length=7):
    content = struct.pack("<BiBB", started, remaining, active, suppressed) + b"\xff" * 9
    return bytes([length]) + content[:length]


SEEDS = {
    # Engaged at 95%, drained to 1%, then the whole reserve hour and past it.
    "full-discharge": no_file() + battery(95) + battery(60) + battery(2) + battery(1)
    + again(256) + again(256) + again(256),
    # Unplugged at 50%: the notice, a plug-in that re-arms it, a second unplug.
    "notice-and-replug": no_file() + battery(50) + battery(49) + external(49) + battery(40),
    # A saved countdown five seconds before the alert, ticking on inside the warning box.
    "alert-with-nested-ticks": state_file(1, 605, 1, 0) + nest(8) + battery(1)
    + battery(1) + battery(1) + external(1) + battery(95) + battery(1) + battery(1)
    + battery(1) + battery(1),
    # Ticks inside the notice that plug in and unplug again.
    "notice-with-nested-ticks": no_file() + nest(3) + battery(56) + battery(55)
    + external(55) + battery(54),
    # A restart in the middle of the countdown, then odd readings.
    "restart-mid-countdown": no_file() + battery(95) + battery(1) + again(10) + RESTART
    + battery(1) + FAILED_READ + unknown_line(1) + battery(255) + external(1)
    + odd_line(0x29, 40),
    # Damaged files: short, long, a reserve past the hour, a negative one.
    "short-file": state_file(1, 3000, 1, 0, length=3) + battery(1) + battery(95) + battery(1),
    "long-file": state_file(1, 20, 1, 1, length=16) + battery(1) + battery(1),
    "reserve-past-the-hour": state_file(1, 100000, 1, 0) + battery(1) + battery(40),
    "negative-reserve": state_file(1, -100, 0x80, 0) + battery(1) + RESTART + battery(1),
}


def main():
    folder = pathlib.Path(__file__).resolve().parent / "corpus"
    folder.mkdir(exist_ok=True)
    for name, data in SEEDS.items():
        (folder / name).write_bytes(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
