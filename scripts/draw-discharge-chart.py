#!/usr/bin/python3
# Debian's own python3, where python3-matplotlib installs, even on a machine
# where another python3 comes first on PATH.
"""Draws the README's chart of a whole discharge from the CSV that the
calibration core's own ticks wrote (tests/chart/): the system's figure and
Corvane's calibrated charge against the minutes since unplugging, the reserve
hour shaded and both warnings marked. The same CSV gives the same PNG.

Usage: draw-discharge-chart.py CHART.csv CHART.png
"""
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

# Blue and orange tell apart for colour-blind eyes and in grey (dark against
# light), and the lines differ in style and width as well.
CALIBRATED_COLOUR = "#0072B2"
SYSTEM_COLOUR = "#E69F00"
RESERVE_COLOUR = "#E4E4E4"


def read_rows(path):
    with open(path, newline="") as file:
        return [(float(row["minute"]), int(row["system_percent"]), int(row["calibrated_percent"]),
                 row["event"]) for row in csv.DictReader(file)]


def main(csv_path, png_path):
    rows = read_rows(csv_path)
    minutes = [row[0] for row in rows]
    end = minutes[-1]
    reserve_start = next(row[0] for row in rows if row[1] <= 1)
    alerts = [row for row in rows if row[3] == "alert"]
    ended = {row[0] for row in rows if row[3] == "calibration ended"}

    plt.rcParams.update({"font.size": 12})
    figure, axes = plt.subplots(figsize=(10, 5.4), dpi=100, layout="constrained")
    axes.axvspan(reserve_start, end, color=RESERVE_COLOUR, zorder=0,
                 label="Reserve hour, counted down by Corvane")
    # Each row holds until the next one: the figures move in steps.
    axes.step(minutes, [row[1] for row in rows], where="post", color=SYSTEM_COLOUR,
              linestyle=(0, (4, 1.5)), linewidth=2.5, label="System's figure")
    axes.step(minutes, [row[2] for row in rows], where="post", color=CALIBRATED_COLOUR,
              linewidth=3, label="Corvane's calibrated charge")

    label_places = [(-10, 40), (-14, 62)]
    for (minute, _, calibrated, _), (dx, y) in zip(alerts, label_places):
        left = round(end - minute)
        text = f"Warning: {left} minute{'s' if left != 1 else ''} left"
        if minute in ended:
            text += "\ncalibration ends"
        axes.axvline(minute, color="black", linestyle=":", linewidth=1.2)
        axes.plot(minute, calibrated, marker="v", markersize=11, color="black", linestyle="none")
        axes.annotate(text, (minute, calibrated), xytext=(minute + dx, y), ha="center",
                      arrowprops={"arrowstyle": "->", "color": "black"},
                      bbox={"boxstyle": "round", "facecolor": "white", "edgecolor": "black"})

    axes.set_xlim(0, 120)
    axes.set_ylim(-3, 105)
    axes.set_xticks(range(0, 121, 10))
    axes.set_xlabel("Minutes since unplugging at 100%")
    axes.set_ylabel("Charge shown (%)")
    axes.grid(True, color="#BBBBBB", linewidth=0.6)
    axes.legend(loc="upper right", framealpha=1)
    top = axes.secondary_xaxis("top", functions=(lambda m: end - m, lambda left: end - left))
    top.set_xticks(range(0, 121, 10))
    top.set_xlabel("Minutes left until the reserve runs out")
    figure.savefig(png_path, dpi=120, metadata={"Software": None})


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    main(sys.argv[1], sys.argv[2])
