#!/usr/bin/env python3
"""A long session: generates N matches (mixed results, early leaves, late ratings,
console commands, a frame after each match), plays it through quillfort-sim, checks
the final figures against a straightforward count, and compares peak memory with a
shorter session of the same kind."""
import argparse
import os
import random
import subprocess
import sys
import tempfile

PLAYLISTS = [13, 11, 10, 30]


class Count:
    """What the session should show, counted the plain way."""

    def __init__(self, ratings):
        self.wins = self.losses = self.streak = 0
        self.last_win = False
        self.no_result = True
        self.change = 0
        self.file = None
        self.read = dict(ratings)  # the rating the plugin last read, per playlist
        self.write()

    def result(self, win):
        if self.no_result or self.last_win != win:
            self.streak = 0
        elif win:
            self.streak = 2 if self.streak == 0 else self.streak + 1
        else:
            self.streak = -2 if self.streak == 0 else self.streak - 1
        if win:
            self.wins += 1
        else:
            self.losses += 1
        self.last_win = win
        self.no_result = False
        self.write()

    def write(self):
        self.file = (f"MMR : {self.change}.000000\r\nStreak : {self.streak}\r\n"
                     f"Wins : {self.wins}\r\nLosses : {self.losses}")

    def refresh(self, playlist, old, new, arrives):
        """Readings 1, 4, 7 and 10 s after the end; the first difference is added."""
        for at in (1, 4, 7, 10):
            value = new if arrives <= at else old
            if value != self.read[playlist]:
                self.change += value - self.read[playlist]
                self.read[playlist] = value
                return


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\r", "\\r").replace("\n", "\\n") + '"'


def generate(matches, seed):
    rng = random.Random(seed)
    ratings = {p: rng.randint(400, 1600) for p in PLAYLISTS}
    out = [f"rating {p} {v}" for p, v in ratings.items()] + ["load"]
    count = Count(ratings)
    for number in range(matches):
        playlist, team = rng.choice(PLAYLISTS), rng.randint(0, 1)
        public = rng.random() < 0.9
        out += [f"match {'public' if public else 'private'} playlist={playlist} team={team}", "kickoff"]
        score, lead = [0, 0], False
        for _ in range(rng.randint(0, 5)):
            side = rng.randint(0, 1)
            score[side] += 1
            lead = score[0] != score[1] and (score[0] > score[1]) == (team == 0)
            out += [f"goal {side}", "kickoff"]
        if rng.random() < 0.2:
            out.append("menu")
            if public:
                count.result(lead)
        else:
            winner = 0 if score[0] > score[1] else 1 if score[1] > score[0] else rng.randint(0, 1)
            out.append(f"end winner={winner}")
            if public:
                count.result(winner == team)
                old, new = ratings[playlist], ratings[playlist] + rng.choice([-1, 1]) * rng.randint(1, 12)
                arrives = rng.choice([0.5, 2.5, 5.5, 8.5, 11.5])
                ratings[playlist] = new
                out += [f"wait {arrives}", f"rating {playlist} {new}", f"wait {12 - arrives}"]
                count.refresh(playlist, old, new, arrives)
            out.append("menu")
        out += commands(rng, count, number)
        out.append("frame")
    out += ["console hide_plugin 0", "console scale 1", "frame",
            f"expect file WinsLossesStats.txt {quoted(count.file)}",
            f"expect draw DrawString {quoted(('MMR : +' if count.change >= 0 else 'MMR : ') + str(count.change))} 1 1",
            f"expect draw DrawString {quoted(f'Streak : {count.streak}')} 1 1",
            f"expect draw DrawString {quoted(f'Wins : {count.wins}')} 1 1",
            f"expect draw DrawString {quoted(f'Losses : {count.losses}')} 1 1"]
    return "\n".join(out) + "\n", count


def commands(rng, count, number):
    if number % 500 == 250:
        count.wins = count.losses = count.streak = count.change = 0
        count.no_result = True
        count.write()
        return ["console reset"]
    roll = rng.random()
    if roll < 0.05:
        count.result(True)
        return ["console add_win"]
    if roll < 0.10:
        count.result(False)
        return ["console add_loss"]
    if roll < 0.13:
        value = rng.randint(-50, 50)
        count.change = value
        return [f"console input_mmr {value}", "console update_mmr"]
    if roll < 0.18:
        return [f"console posx {rng.randint(0, 1000)}", f"console scale {rng.choice([1, 2, 3])}"]
    if roll < 0.20:
        return ["console hide_plugin 1", "frame", "console hide_plugin 0"]
    return []


def play(sim, scenario):
    """Runs quillfort-sim on the scenario; returns its exit status, output and peak memory in KiB.

    GNU time measures it: the kernel counts into a process's peak the memory of
    whatever it was forked from, and a small parent keeps that out of the figure."""
    with tempfile.TemporaryDirectory() as folder:
        path, peak = os.path.join(folder, "soak.qsim"), os.path.join(folder, "peak")
        with open(path, "w") as file:
            file.write(scenario)
        run = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak, sim, "--quiet", path],
                             stdout=subprocess.PIPE, text=True)
        with open(peak) as file:
            return run.returncode, run.stdout, int(file.read().split()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sim", required=True, help="the quillfort-sim program")
    parser.add_argument("--matches", type=int, default=1000)
    parser.add_argument("--baseline", type=int, default=100, help="matches of the shorter session for memory")
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--no-memory", action="store_true", help="skip the memory comparison (sanitizer builds)")
    args = parser.parse_args()

    scenario, count = generate(args.matches, args.seed)
    status, output, peak = play(args.sim, scenario)
    print(f"{args.matches} matches: wins {count.wins}, losses {count.losses}, streak {count.streak}, "
          f"rating change {count.change}; peak memory {peak} KiB")
    if status != 0:
        print(f"soak: quillfort-sim exited with {status}:\n{output}", file=sys.stderr)
        return 1
    if args.no_memory:
        print("soak: memory not compared (sanitizer build)")
        return 0
    small_status, small_output, small_peak = play(args.sim, generate(args.baseline, args.seed)[0])
    if small_status != 0:
        print(f"soak: the {args.baseline}-match session failed:\n{small_output}", file=sys.stderr)
        return 1
    growth = peak / small_peak
    print(f"{args.baseline} matches: peak memory {small_peak} KiB; {args.matches} / {args.baseline}: {growth:.3f}")
    if growth > 1.10:
        print(f"soak: peak memory grew by {100 * (growth - 1):.1f} % (limit 10 %)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
