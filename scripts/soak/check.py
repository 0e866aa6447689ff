#!/usr/bin/env python3
"""Checks for the soak run; each prints one line of key=value figures and exits 1 when the check fails.

  check.py lines FILE FIRST LAST   the text holds the numbered lines FIRST..LAST, each once, in order, intact
  check.py doc FILE BASE MINSIZE   a saved document: numbered lines from BASE on with no gap or damage (the
                                   first and last line may be cut), at least MINSIZE bytes
  check.py log FILE...             activity log files: 144-byte lines with the header first, counts of the
                                   records the soak run can foresee
"""
import re
import sys

LINE = 64


SYMBOLS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"


def expected_line(number):
    """Line `number` of the simulated device's pattern."""
    body = "".join(SYMBOLS[(number + i) % len(SYMBOLS)] for i in range(53))
    return ("%08d " % (number % 100000000) + body + "\r\n").encode("latin-1")


def numbered_lines(data):
    """Splits text into CR LF lines; yields (number or None, raw line)."""
    for raw in data.split(b"\r\n"):
        match = re.match(rb"(\d{8}) ", raw)
        yield (int(match.group(1)) if match else None), raw + b"\r\n"


def check_lines(path, first, last):
    data = open(path, "rb").read()
    seen, malformed, out_of_order, duplicates = [], 0, 0, 0
    previous = None
    for number, raw in numbered_lines(data):
        if raw == b"\r\n":
            continue
        if number is None or raw != expected_line(number):
            malformed += 1
            continue
        if previous is not None and number == previous:
            duplicates += 1
        elif previous is not None and number < previous:
            out_of_order += 1
        seen.append(number)
        previous = number
    unique = set(seen)
    missing = sum(1 for n in range(first, last + 1) if n not in unique)
    extra = sum(1 for n in unique if n < first or n > last)
    ok = missing == 0 and malformed == 0 and out_of_order == 0 and duplicates == 0 and extra == 0
    print("lines=%d expected=%d missing=%d duplicates=%d out_of_order=%d malformed=%d foreign=%d"
          % (len(seen), last - first + 1, missing, duplicates, out_of_order, malformed, extra))
    return ok


def check_doc(path, base, minimum):
    data = open(path, "rb").read()
    parts = data.split(b"\r\n")
    problems = []
    if len(data) < minimum:
        problems.append("short")
    numbers = []
    for index, raw in enumerate(parts):
        last = index == len(parts) - 1
        if last and raw == b"":
            continue
        match = re.match(rb"(\d{8}) ", raw)
        whole = match and raw + b"\r\n" == expected_line(int(match.group(1)))
        if whole and not last:
            numbers.append(int(match.group(1)))
        elif index == 0 and len(parts) > 1:
            continue  # the front cut of the loop may start anywhere in a line: checked below
        elif last and match and expected_line(int(match.group(1))).startswith(raw):
            numbers.append(int(match.group(1)))  # a line still being received
        elif last and numbers and expected_line(numbers[-1] + 1).startswith(raw):
            continue  # a line still being received, cut within its number
        else:
            problems.append("damaged line %d" % index)
            break
    head = parts[0] + b"\r\n"
    if numbers and not re.match(rb"\d{8} ", parts[0]) and not expected_line(numbers[0] - 1).endswith(head):
        problems.append("damaged first line")
    gaps = sum(1 for a, b in zip(numbers, numbers[1:]) if b != a + 1)
    if gaps:
        problems.append("%d gaps" % gaps)
    if numbers and numbers[0] < base:
        problems.append("foreign lines")
    print("bytes=%d lines=%d first=%s last=%s%s" % (len(data), len(numbers), numbers[0] if numbers else "-",
                                                     numbers[-1] if numbers else "-",
                                                     (" problems=" + ",".join(problems)) if problems else ""))
    return not problems


HEADER = (b"DATE".ljust(10, b"\0") + b"|" + b"TIME".ljust(8, b"\0") + b"|" + b"MODULE".ljust(20, b"\0") + b"|"
          + b"PROCEDURE".ljust(20, b"\0") + b"|" + b"DESCRIPTION".ljust(80, b"\0") + b"\r\n")
RECORD = re.compile(rb"\d\d/\d\d/\d{4}\|\d\d:\d\d:\d\d\|.{20}\|.{20}\|.{80}\r\n", re.S)
COUNTED = {
    "open": re.compile(r"Open application - Log level: \d+$"),
    "close": re.compile(r"Close application\.$"),
    # The system's reason follows on the same record when it fits, else on a record of its own.
    "lost": re.compile(r"Comm port \S+ lost, waiting for it to come back(\.|: .+)?$"),
    "back": re.compile(r"Comm port \S+ is back, reception goes on\.$"),
    "freeze": re.compile(r"The screen was 'freezed' by the user$"),
    "unfreeze": re.compile(r"The screen was 'unfreezed' by the user$"),
    "cleared": re.compile(r"Screen's content was deleted by user$"),
    "overrun": re.compile(r"\S+: \d+ bytes lost, input queue full\.$"),
    "closed": re.compile(r"\S+ closed: \d+ bytes received, \d+ bytes lost\.$"),
}


def check_log(paths):
    counts = dict.fromkeys(COUNTED, 0)
    received = lost = dropped = 0
    lines = bad = misplaced = 0
    for path in paths:
        try:
            data = open(path, "rb").read()
        except FileNotFoundError:
            continue
        if len(data) % 144:
            bad += 1
        for at in range(0, len(data) - len(data) % 144, 144):
            line = data[at:at + 144]
            lines += 1
            if line == HEADER:
                if at:
                    misplaced += 1
                continue
            if at == 0 or not RECORD.fullmatch(line):
                bad += 1
                continue
            text = line[62:142].rstrip(b"\0").decode("latin-1")
            for name, pattern in COUNTED.items():
                if pattern.match(text):
                    counts[name] += 1
            closed = re.match(r"\S+ closed: (\d+) bytes received, (\d+) bytes lost\.$", text)
            if closed:
                received += int(closed.group(1))
                lost += int(closed.group(2))
            overrun = re.match(r"\S+: (\d+) bytes lost, input queue full\.$", text)
            if overrun:
                dropped += int(overrun.group(1))
    print("lines=%d bad=%d misplaced_headers=%d %s bytes_received=%d bytes_lost=%d bytes_dropped=%d"
          % (lines, bad, misplaced, " ".join("%s=%d" % item for item in counts.items()), received, lost, dropped))
    return bad == 0 and misplaced == 0


def main(argv):
    if len(argv) >= 5 and argv[1] == "lines":
        return 0 if check_lines(argv[2], int(argv[3]), int(argv[4])) else 1
    if len(argv) == 5 and argv[1] == "doc":
        return 0 if check_doc(argv[2], int(argv[3]), int(argv[4])) else 1
    if len(argv) >= 3 and argv[1] == "log":
        return 0 if check_log(argv[2:]) else 1
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
