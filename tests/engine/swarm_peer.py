#!/usr/bin/python3
"""A BitTorrent peer on the host for the engine's swarm tests (Debian's python3-libtorrent).

  swarm_peer.py make FILE TORRENT --web-seed URL [--tracker URL] [--piece BYTES]
      writes a hybrid torrent of FILE.
  swarm_peer.py seed TORRENT DIR --ip 127.0.0.N [--lie]
      serves DIR/<name> on ADDRESS (tracker announces included) until stdin closes; prints
      "seeding" once it serves and "uploaded N" every second. --lie serves the file as it is
      on disk without checking it first (a peer whose copy is damaged, or that lies).
Nothing but loopback: no DHT, no local discovery, no port mapping, no uTP.
"""
import sys
import threading
import time

import libtorrent as lt


def make(args):
    path, out = args[0], args[1]
    web_seeds = [args[i + 1] for i, a in enumerate(args) if a == "--web-seed"]
    tracker = args[args.index("--tracker") + 1] if "--tracker" in args else ""
    piece = int(args[args.index("--piece") + 1]) if "--piece" in args else 256 * 1024
    import os
    fs = lt.file_storage()
    fs.add_file(os.path.basename(path), os.path.getsize(path))
    t = lt.create_torrent(fs, piece)
    for url in web_seeds:
        t.add_url_seed(url)
    if tracker:
        t.add_tracker(tracker)
    lt.set_piece_hashes(t, os.path.dirname(os.path.abspath(path)))
    with open(out, "wb") as f:
        f.write(lt.bencode(t.generate()))
    info = lt.torrent_info(out)
    hashes = info.info_hashes()
    print("v1 %s" % hashes.v1)
    print("v2 %s" % str(hashes.v2)[:40])


def seed(args):
    torrent, folder = args[0], args[1]
    ip = args[args.index("--ip") + 1]
    lie = "--lie" in args
    settings = {
        "listen_interfaces": "%s:0" % ip, "outgoing_interfaces": ip,
        "enable_dht": False, "enable_lsd": False, "enable_upnp": False, "enable_natpmp": False,
        "enable_outgoing_utp": False, "enable_incoming_utp": False,
        "allow_multiple_connections_per_ip": True, "disable_hash_checks": lie,
        "alert_mask": lt.alert_category.error | lt.alert_category.status,
    }
    ses = lt.session(settings)
    params = lt.add_torrent_params()
    params.ti = lt.torrent_info(torrent)
    params.save_path = folder
    params.flags &= ~(lt.torrent_flags.auto_managed | lt.torrent_flags.paused)
    if lie:
        params.flags |= lt.torrent_flags.seed_mode
    handle = ses.add_torrent(params)
    closed = threading.Event()
    threading.Thread(target=lambda: (sys.stdin.read(), closed.set()), daemon=True).start()
    announced = False
    while not closed.is_set():
        st = handle.status()
        if st.is_seeding and not announced:
            print("seeding port %d" % ses.listen_port(), flush=True)
            announced = True
        for alert in ses.pop_alerts():
            if alert.category() & lt.alert_category.error:
                print("alert %s" % alert.message(), flush=True)
        print("uploaded %d peers %d" % (st.all_time_upload, st.num_peers), flush=True)
        closed.wait(1)


if __name__ == "__main__":
    {"make": make, "seed": seed}[sys.argv[1]](sys.argv[2:])
