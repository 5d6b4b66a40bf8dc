"""Writes a statistics log as the staged nginx does (time, address, path, query; tab-separated)
with about N usage reports from copies of two packages over 30 days: offers, starts and
completions, some copies without a client id, a few lines that are not reports.
Usage: make_stats_log.py N OUT"""

import random
import sys

PACKAGES = ["{CBF64884-192F-484C-8741-9223167E5D6B}", "{6A1F0C52-9B7E-4D3A-8C21-0F5E2B7D9A14}"]
VERSIONS = ["1.1.0.1011", "1.1.0.1012", "1.1.0.999"]


def stamp(seconds):
    days, rest = divmod(seconds, 86400)
    day = 1 + days % 30
    return "2026-11-%02dT%02d:%02d:%02d+08:00" % (day, rest // 3600, rest % 3600 // 60, rest % 60)


def main():
    wanted, out = int(sys.argv[1]), sys.argv[2]
    rng = random.Random(26)
    events = []
    copy = 0
    while len(events) < wanted:
        copy += 1
        package = rng.choice(PACKAGES)
        version = rng.choice(VERSIONS)
        client = "" if rng.random() < 0.02 else "mid-%07d" % copy
        address = "10.%d.%d.%d" % (copy >> 16 & 255, copy >> 8 & 255, copy & 255)
        query = "name=%s&from=%%d&mid=%s&ver=%s&" % (package, client, version)
        at = rng.randrange(0, 30 * 86400 - 8000)
        if rng.random() < 0.6:
            events.append((at, address, "statLogQuilletMuldownUrl", query % 0))
        if rng.random() < 0.9:
            at += rng.randrange(1, 30)
            events.append((at, address, "statLogMuldownUrl", query % 0))
            if rng.random() < 0.75:
                at += rng.randrange(60, 7200)
                events.append((at, address, "statLogMuldownMd5",
                               query % 1 + "md5=0123abcd,4567ef01"))
    events.sort()
    with open(out, "w") as f:
        for n, (at, address, report, query) in enumerate(events[:wanted]):
            if n % 100000 == 0:
                f.write("%s\t127.0.0.1\t/favicon.ico\t-\n" % stamp(at))
            f.write("%s\t%s\t/ClientApp/%s/\t%s\n" % (stamp(at), address, report, query))


if __name__ == "__main__":
    main()
