#!/usr/bin/python3
"""A swarm download meets what an HTTP download meets: a server with other bytes, a pause, a
full disk. p2sp-get under Wine, the tracker and the loopback origin as in engine_swarm_test.py.

Usage: engine_swarm_faults_test.py P2SP_GET_EXE ENGINE_DLL
"""
import os
import sys

import engine_swarm_test as es
import engine_transfer_test as et
from engine_transfer_test import MiB, case, field, md5

PIECE = es.PIECE


@case
def server_with_other_bytes_costs_a_few_pieces_and_is_dropped(fx):
    size = 8 * MiB
    want = es.published_with_tracker(fx, "ob.bin", size)
    target = os.path.join(fx.out, "ob.bin")
    # The seed copy answers at once, every piece with a flipped byte; the origin is slow.
    rc, out, final = fx.run(fx.base + "/slow/ob.bin", target, seeds=fx.base + "/garble",
                            tune=es.SWARM_TUNE)
    assert rc == 0 and md5(target) == want, out[-500:]
    garbled = fx.stats().get("bytes-garble", 0)
    print("  failed %d bytes, the garbling server sent %d" % (field(final, "failed"), garbled))
    # A server not yet trusted has 4 pieces unchecked at most; the third failure drops it.
    assert field(final, "failed") <= 4 * PIECE, final
    assert garbled <= 4 * PIECE + 64 * 1024, garbled


@case
def pause_and_resume_keep_the_verified_pieces(fx):
    size = 6 * MiB
    want = es.published_with_tracker(fx, "sp.bin", size)
    target = os.path.join(fx.out, "sp.bin")
    rc, out, _ = fx.run(fx.base + "/slow/sp.bin", target, tune=es.SWARM_TUNE,
                        extra=["--pause-at", str(2 * MiB)])
    assert "paused stop=1" in out and "resumed start=1" in out, out[-400:]
    assert rc == 0 and md5(target) == want, out[-400:]
    after = out.split("resumed start=1", 1)[1]
    first = [l for l in after.splitlines() if l.startswith("progress")][0]
    assert field(first, "done") >= 2 * MiB, "progress lost on pause: " + first


@case
def full_disk_is_a_file_error_until_there_is_room(fx):
    with et.small_disk(fx) as (disk, filler):
        size = 48 * MiB
        want = es.published_with_tracker(fx, "fd.bin", size)
        target = os.path.join(disk, "fd.bin")
        url = fx.base + "/slow/fd.bin"
        rc, out, final = fx.run(url, target, tune=es.SWARM_TUNE, timeout=180)
        assert rc == 1 and field(final, "state") == 3, out[-500:]
        assert not os.path.exists(target), "a partial file took the target's name"
        os.remove(filler)
        rc, out, final = fx.run(url, target, tune=es.SWARM_TUNE, timeout=180)
        assert rc == 0 and md5(target) == want, out[-500:]


def main():
    if os.geteuid() != 0:
        print("SKIP: a small disk needs root to mount")
        return 77
    return es.run_swarm_cases([server_with_other_bytes_costs_a_few_pieces_and_is_dropped,
                               pause_and_resume_keep_the_verified_pieces,
                               full_disk_is_a_file_error_until_there_is_room])


if __name__ == "__main__":
    sys.exit(main())
