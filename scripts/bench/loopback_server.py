"""The accept loop of the benchmark's loopback relays."""
import socket
import threading
import time


def serve_for(port, lifetime, serve, backlog, on_listening=None):
    """Hands each connection to 127.0.0.1:port to serve(client) on a thread of its own,
    for lifetime seconds."""
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(backlog)
    if on_listening:
        on_listening()
    deadline = time.time() + lifetime
    listener.settimeout(1)
    while time.time() < deadline:
        try:
            client, _ = listener.accept()
        except socket.timeout:
            continue
        threading.Thread(target=serve, args=(client,), daemon=True).start()
