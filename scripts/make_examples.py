#!/usr/bin/env python3
"""Writes the sample data files in examples/ (deterministic; run from the repository root)."""
import random

rng = random.Random(20261208)


def study():
    # A study of 240 students: exam score explained by prior grade, study hours,
    # attendance, anxiety and sleep; a few values missing (".").
    # Columns: 1 exam, 2 prior grade, 3 study hours, 4 attendance %, 5 anxiety, 6 sleep hours
    rows = []
    for _ in range(240):
        prior = rng.gauss(70, 10)
        hours = max(0.0, rng.gauss(12, 4))
        attendance = min(100.0, max(40.0, rng.gauss(85, 9)))
        anxiety = min(10, max(1, round(rng.gauss(5, 2))))
        sleep = round(min(10.0, max(4.0, rng.gauss(7, 1))) * 2) / 2
        exam = 5 + 0.55 * prior + 0.9 * hours + 0.12 * attendance - 1.4 * anxiety + 0.8 * sleep + rng.gauss(0, 6)
        rows.append(["%.1f" % exam, "%.1f" % prior, "%.1f" % hours, "%.0f" % attendance, "%d" % anxiety,
                     "%.1f" % sleep])
    for row, column in [(17, 3), (44, 1), (90, 5), (131, 2), (176, 4), (203, 0), (228, 3)]:
        rows[row][column] = "."
    with open("examples/study.txt", "w", newline="") as out:
        out.write("".join(" ".join(row) + "\n" for row in rows))


def survey():
    # 40 respondents, comma delimited, CR LF line ends: satisfaction, age, income (thousands), tenure
    rows = []
    for index in range(40):
        age = rng.randint(21, 64)
        income = round(rng.gauss(48, 12), 2)
        tenure = rng.randint(0, 25)
        satisfaction = round(3 + 0.02 * tenure + 0.01 * income + rng.gauss(0, 0.8), 2)
        cells = [str(satisfaction), str(age), str(income), str(tenure)]
        if index in (6, 29):
            cells[2] = ""
        rows.append(",".join(cells))
    with open("examples/survey.dat", "w", newline="") as out:
        out.write("".join(row + "\r\n" for row in rows))


def reaction():
    # 24 trials, tab delimited: reaction time (ms), stimulus intensity, trial block
    rows = []
    for index in range(24):
        block = index // 8 + 1
        intensity = rng.choice([0.25, 0.5, 0.75, 1.0])
        rt = round(420 - 90 * intensity - 6 * block + rng.gauss(0, 25))
        rows.append("\t".join([str(rt), str(intensity), str(block)]))
    with open("examples/reaction.txt", "w", newline="") as out:
        out.write("".join(row + "\n" for row in rows))


def growth():
    # 15 plants, space delimited .dat: height (cm), water (ml/day), light (h/day)
    rows = []
    for _ in range(15):
        water = rng.choice([100, 150, 200, 250])
        light = rng.choice([6, 8, 10, 12])
        height = round(4 + 0.05 * water + 1.2 * light + rng.gauss(0, 2), 1)
        rows.append(" ".join([str(height), str(water), str(light)]))
    with open("examples/growth.dat", "w", newline="") as out:
        out.write("".join(row + "\n" for row in rows))


def wellbeing():
    # 60 adults as R's write.csv(row.names = FALSE) writes them: a first line of
    # quoted names, comma delimited, "NA" for a missing value.
    # Columns: wellbeing score, age, income (thousands), exercise (h/week), sleep (h/night)
    rows = []
    for _ in range(60):
        age = rng.randint(20, 70)
        income = round(rng.gauss(45, 15), 1)
        exercise = round(max(0.0, rng.gauss(3, 2)), 1)
        sleep = round(min(9.5, max(4.5, rng.gauss(7, 0.9))), 1)
        score = round(40 + 0.05 * age + 0.1 * income + 2.0 * exercise + 2.5 * sleep + rng.gauss(0, 5), 1)
        rows.append([str(score), str(age), str(income), str(exercise), str(sleep)])
    for row, column in [(5, 2), (18, 3), (33, 0), (47, 4)]:
        rows[row][column] = "NA"
    with open("examples/wellbeing.txt", "w", newline="") as out:
        out.write('"wellbeing","age","income","exercise","sleep"\n')
        out.write("".join(",".join(row) + "\n" for row in rows))


study()
survey()
reaction()
growth()
wellbeing()
