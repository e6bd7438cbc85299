#!/usr/bin/env python3
"""A https server on loopback for the online tests, started by them from inside Wine.

Makes a test authority and a certificate for the name "localhost" that it signs (openssl),
writes the authority as DER to <root>/server-cert.der for the test to trust (or not), serves the files below <root>,
answers a path that has a "<path>.redirect" file with a 302 to that file's content, and
writes its port to <root>/server-port once it listens. Ends when <root>/stop appears, or
after --lifetime seconds, so it never outlives a test run.
"""
import argparse
import http.server
import os
import ssl
import subprocess
import sys
import threading
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        local = self.translate_path(self.path)
        if os.path.isfile(local + ".redirect"):
            with open(local + ".redirect") as target:
                location = target.read().strip()
            self.send_response(302)
            self.send_header("Location", location)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        super().do_GET()

    def log_message(self, *args):
        pass


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(root):
    """A test authority (written as DER for the test to trust) and the server's certificate
    for "localhost" that it signs; the chain checks want a real authority, not a self-signed leaf."""
    path = lambda name: os.path.join(root, name)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("ca-key.pem"), "-out", path("ca.pem"),
            "-days", "2", "-subj", "/CN=Quillmere Test Authority",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", path("server-key.pem"), "-out", path("server.csr"),
            "-subj", "/CN=localhost")
    with open(path("server.ext"), "w") as extensions:
        extensions.write("basicConstraints=critical,CA:FALSE\n"
                         "keyUsage=critical,digitalSignature,keyEncipherment\n"
                         "extendedKeyUsage=serverAuth\n"
                         "subjectAltName=DNS:localhost\n")
    openssl("x509", "-req", "-in", path("server.csr"), "-CA", path("ca.pem"), "-CAkey", path("ca-key.pem"),
            "-CAcreateserial", "-days", "2", "-extfile", path("server.ext"), "-out", path("server-cert.pem"))
    openssl("x509", "-in", path("ca.pem"), "-outform", "DER", "-out", path("server-cert.der"))
    return path("server-key.pem"), path("server-cert.pem")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--lifetime", type=int, default=600)
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    key, cert = make_certificates(root)
    served = os.path.join(root, "site")
    os.makedirs(served, exist_ok=True)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             lambda *a, **k: Handler(*a, directory=served, **k))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(os.path.join(root, "server-port.tmp"), "w") as port:
        port.write(str(server.server_address[1]))
    os.replace(os.path.join(root, "server-port.tmp"), os.path.join(root, "server-port"))

    end = time.time() + args.lifetime
    while time.time() < end and not os.path.exists(os.path.join(root, "stop")):
        time.sleep(0.2)
    server.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
