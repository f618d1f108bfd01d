#!/usr/bin/env python3
"""The sandbox host's front: serves on 127.0.0.1 what the simulated HTTP.sys and IIS have bound.

    front.py STATE_FOLDER

STATE_FOLDER is the Linux path of C:\\ProgramData\\QuillbaySandbox. Ports with an HTTP.sys
certificate binding (http.tsv) speak TLS, choosing the certificate per connection as HTTP.sys
does; ports of the sites' http bindings (iis.tsv) speak plain HTTP, with the sites' redirect
rules. The state is read again whenever its files change. "ready" goes to standard output once
the first state is served; the log goes to standard error.
"""
import html
import http.server
import os
import re
import selectors
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

STATE_FILES = ("iis.tsv", "http.tsv", "certs.tsv", "services.tsv")
POLL_SECONDS = 0.3  # how soon a new port is opened or a dropped one closed
ESCAPES = {"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}


def log(text):
    print(time.strftime("%H:%M:%S"), text, file=sys.stderr, flush=True)


def read_records(path):
    """The tab-separated records of a state file; none when it is missing."""
    try:
        with open(path, encoding="utf-8-sig") as f:
            lines = f.read().splitlines()
    except OSError:
        return []
    unescape = lambda field: re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(0)), field)
    return [[unescape(field) for field in line.split("\t")] for line in lines if line and line[0] != "#"]


def der_element(data, offset):
    """Tag, start and end of the contents of the DER element at offset."""
    length, start = data[offset + 1], offset + 2
    if length & 0x80:
        count = length & 0x7F
        length, start = int.from_bytes(data[start:start + count], "big"), start + count
    return data[offset], start, start + length


def issuer_and_subject(der):
    """The encoded issuer and subject names of a certificate."""
    _, offset, _ = der_element(der, 0)
    _, offset, end = der_element(der, offset)  # tbsCertificate
    fields = []
    while offset < end and len(fields) < 5:
        tag, _, stop = der_element(der, offset)
        if tag != 0xA0:  # [0] version
            fields.append(der[offset:stop])
        offset = stop
    return fields[2], fields[4]  # serial, signature, issuer, validity, subject


def search(pattern, text):
    """A rule's pattern as URL Rewrite applies it by default: case-insensitive; one it cannot read
    matches nothing."""
    try:
        return re.search(pattern, text, re.IGNORECASE)
    except re.error:
        return None


def split_host(host):
    """A Host header without its port."""
    return re.sub(r":\d*$", "", host.strip()).lower()


class State:
    """One reading of the state folder."""

    def __init__(self, folder):
        self.folder = folder
        iis = read_records(os.path.join(folder, "iis.tsv"))
        self.sites = {r[1]: (r[2], r[3]) for r in iis if r[0] == "site" and len(r) >= 4}
        self.bindings = []  # site id, protocol, port, host
        for r in iis:
            parts = r[3].rsplit(":", 2) if r[0] == "binding" and len(r) >= 4 else []
            if len(parts) == 3 and parts[1].isdigit() and parts[0] in ("*", "", "127.0.0.1"):
                self.bindings.append((r[1], r[2].lower(), int(parts[1]), parts[2].lower()))
        rewrite = any(r[0] == "module" and r[1:2] == ["RewriteModule"] for r in iis)
        self.rules = [r + [""] * 8 for r in iis if rewrite and r[0] == "rule"]
        self.conditions = [r for r in iis if r[0] == "condition" and len(r) >= 5]
        services = read_records(os.path.join(folder, "services.tsv"))
        self.running = not any(r[0] == "w3svc" and r[1:2] == ["Stopped"] for r in services)
        self.sslcerts = []  # kind, address or host name (lower case), port, thumbprint
        for r in read_records(os.path.join(folder, "http.tsv")):
            if r[0] == "sslcert" and len(r) >= 4 and re.fullmatch(r".+:\d+", r[2]):
                address, port = r[2].rsplit(":", 1)
                self.sslcerts.append((r[1], address.lower(), int(port), r[3].upper()))
        certs = read_records(os.path.join(folder, "certs.tsv"))
        self.authorities = {r[2].upper() for r in certs if r[0] == "cert" and r[1:2] == ["CA"]}

    def tls_ports(self):
        return {port for _, _, port, _ in self.sslcerts}

    def http_ports(self):
        return {port for _, protocol, port, _ in self.bindings if protocol == "http"}

    def certificate_for(self, port, server_name):
        """HTTP.sys's choice: the host name's binding, else the address's, else 0.0.0.0's."""
        wanted = [("hostnameport", (server_name or "").lower()), ("ipport", "127.0.0.1"), ("ipport", "0.0.0.0")]
        for kind, address in wanted[0 if server_name else 1:]:
            for k, a, p, thumbprint in self.sslcerts:
                if (k, a, p) == (kind, address, port):
                    return thumbprint
        return None

    def site_for(self, protocol, port, host):
        """The site of the binding for this host name, else of the binding without one."""
        for wanted in (host, ""):
            for site, p, q, h in self.bindings:
                if (p, q, h) == (protocol, port, wanted) and site in self.sites:
                    return site
        return None

    def certificate(self, thumbprint):
        with open(os.path.join(self.folder, "certs", thumbprint + ".cer"), "rb") as f:
            return f.read()

    def chain(self, thumbprint):
        """The certificate and the intermediates of the CA store above it, leaf first; the root,
        which the client must trust by itself, is not sent."""
        ders = [self.certificate(thumbprint)]
        by_subject = {}
        for t in self.authorities:
            try:
                der = self.certificate(t)
                by_subject.setdefault(issuer_and_subject(der)[1], der)
            except (OSError, IndexError):
                pass
        issuer, subject = issuer_and_subject(ders[0])
        while issuer != subject and issuer in by_subject and len(ders) < 10:
            der = by_subject[issuer]
            issuer, subject = issuer_and_subject(der)
            if issuer == subject:
                break
            ders.append(der)
        return ders

    def redirect(self, site, variables, path):
        """Where the site's rewrite rules send this request, or None."""
        name = self.sites[site][0]
        for rule in (r for r in self.rules if r[1] == name):
            _, _, rule_name, stop, match_url, action, url, append = rule[:8]
            found = search(match_url, path)
            conditions = [c for c in self.conditions if c[1:3] == [name, rule_name]]
            expand = lambda text: re.sub(r"\{([^{}]+)\}", lambda m: self.variable(m.group(1), found, variables), text)
            if found and all(search(c[4], expand(c[3])) for c in conditions):
                if action.lower() == "redirect":
                    query = variables["QUERY_STRING"]
                    return expand(url) + ("?" + query if query and append.lower() != "false" else "")
                if stop.lower() == "true":
                    return None
        return None

    @staticmethod
    def variable(name, found, variables):
        if name.upper().startswith("R:") and name[2:].isdigit():
            n = int(name[2:])
            return (found.group(n) or "") if n <= found.re.groups else ""
        return variables.get(name.upper(), "")


class Handler(http.server.BaseHTTPRequestHandler):
    """One request on a connection whose port, scheme and state the server object carries."""

    server_version = "Microsoft-IIS/10.0"

    def version_string(self):
        return self.server_version

    def do_GET(self):
        conn = self.server
        host = self.headers.get("Host", "")
        site = conn.state.site_for(conn.scheme, conn.port, split_host(host))
        if site is None:
            return self.httpapi(400, "Bad Request", "Bad Request - Invalid Hostname",
                                "HTTP Error 400. The request hostname is invalid.")
        name, state = conn.state.sites[site]
        if state != "Started" or not conn.state.running:
            return self.httpapi(503, "Service Unavailable", "Service Unavailable",
                                "HTTP Error 503. The service is unavailable.")
        path, _, query = self.path.partition("?")
        variables = {"HTTPS": "on" if conn.scheme == "https" else "off", "HTTP_HOST": host, "QUERY_STRING": query,
                     "REQUEST_URI": self.path, "SERVER_PORT": str(conn.port)}
        location = conn.state.redirect(site, variables, path[1:] if path.startswith("/") else path)
        if location is not None:
            link = html.escape(location)
            return self.reply(301, f'<head><title>Document Moved</title></head>\n<body><h1>Object Moved</h1>'
                              f'This document may be found <a HREF="{link}">here</a></body>', Location=location)
        text = html.escape(name)
        self.reply(200, f"<!DOCTYPE html>\n<html><head><title>{text}</title></head><body><h1>{text}</h1>"
                        f"<p>Site {text} (id {site}) of the Quillbay sandbox host, over {conn.scheme}.</p>"
                        f"</body></html>\n")

    do_HEAD = do_POST = do_GET

    def httpapi(self, code, title, heading, text):
        """HTTP.sys's own answer, given before any site sees the request."""
        self.server_version = "Microsoft-HTTPAPI/2.0"
        self.reply(code, '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN""http://www.w3.org/TR/html4/strict.dtd">\r\n'
                         f'<HTML><HEAD><TITLE>{title}</TITLE>\r\n<META HTTP-EQUIV="Content-Type" Content="text/html; '
                         f'charset=us-ascii"></HEAD>\r\n<BODY><h2>{heading}</h2>\r\n<hr><p>{text}</p>\r\n</BODY></HTML>\r\n')

    def reply(self, code, body, **headers):
        data = body.encode("utf-8")
        self.send_response(code)
        for key, value in dict(headers, **{"Content-Type": "text/html; charset=utf-8"}).items():
            self.send_header(key, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    def log_message(self, format, *args):
        log(f"{self.server.scheme} :{self.server.port} {format % args}")


class Connection:
    """What a handler knows of its connection."""

    def __init__(self, state, scheme, port):
        self.state, self.scheme, self.port = state, scheme, port


class Front:
    def __init__(self, folder):
        self.folder = folder
        self.keys = tempfile.mkdtemp(prefix="quillbay-front-")
        self.contexts = {}  # (thumbprint, its files, the CA store) -> SSLContext
        self.lock = threading.Lock()
        self.selector = selectors.DefaultSelector()
        self.listeners = {}  # port -> socket
        self.stamp = None
        self.state = None
        self.base = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.base.sni_callback = self.choose_certificate

    def stat(self):
        stamps = []
        for name in STATE_FILES:
            try:
                s = os.stat(os.path.join(self.folder, name))
                stamps.append((s.st_mtime_ns, s.st_size, s.st_ino))
            except OSError:
                stamps.append(None)
        return tuple(stamps)

    def refresh(self):
        stamp = self.stat()
        if stamp == self.stamp:
            return
        self.stamp, self.state = stamp, State(self.folder)
        wanted = self.state.tls_ports() | self.state.http_ports()
        for port in set(self.listeners) - wanted:
            self.selector.unregister(self.listeners[port])
            self.listeners.pop(port).close()
            log(f"closed port {port}")
        for port in sorted(wanted - set(self.listeners)):
            self.listen(port)

    def listen(self, port):
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            sock.bind(("127.0.0.1", port))
            sock.listen(64)
        except OSError as e:
            sock.close()
            return log(f"cannot listen on port {port} ({e.strerror}); it is not served")
        sock.setblocking(False)
        self.selector.register(sock, selectors.EVENT_READ, port)
        self.listeners[port] = sock
        log(f"listening on 127.0.0.1:{port}")

    def context(self, state, thumbprint):
        """A TLS context with the certificate, its chain and its key; None when the key is missing."""
        base = os.path.join(self.folder, "certs", thumbprint)
        try:
            with open(base + ".password", "rb") as f:
                password = f.read()
            key = (thumbprint, os.stat(base + ".pfx").st_mtime_ns, password, frozenset(state.authorities))
        except OSError:
            return log(f"no key for {thumbprint}: it was not imported with certutil -importPFX")
        with self.lock:
            if key not in self.contexts:
                self.contexts[key] = self.load(state, thumbprint, base + ".pfx", password)
            return self.contexts[key]

    def load(self, state, thumbprint, pfx, password):
        out = os.path.join(self.keys, thumbprint)
        env = dict(os.environ, QB_FRONT_PASSWORD=password.decode("utf-8", "replace"))
        command = ["openssl", "pkcs12", "-in", pfx, "-nocerts", "-nodes", "-passin", "env:QB_FRONT_PASSWORD",
                   "-out", out + ".key"]
        # Older files use algorithms that OpenSSL 3 keeps in its legacy provider.
        if all(subprocess.run(c, env=env, capture_output=True).returncode for c in (command, command + ["-legacy"])):
            return log(f"openssl cannot open the PFX of {thumbprint}")
        with open(out + ".pem", "w") as f:
            f.writelines(ssl.DER_cert_to_PEM_cert(der) for der in state.chain(thumbprint))
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        try:
            context.load_cert_chain(out + ".pem", out + ".key")
        except ssl.SSLError as e:
            return log(f"the key of {thumbprint} does not fit it: {e}")
        return context

    def choose_certificate(self, sock, server_name, _):
        state, port = self.state, sock.getsockname()[1]
        thumbprint = state.certificate_for(port, server_name)
        context = thumbprint and self.context(state, thumbprint)
        log(f"https :{port} SNI {server_name or '(none)'}: {thumbprint or 'no binding'}")
        if not context:
            return ssl.ALERT_DESCRIPTION_UNRECOGNIZED_NAME if server_name else ssl.ALERT_DESCRIPTION_HANDSHAKE_FAILURE
        sock.context = context
        return None

    def serve(self, sock, address, port):
        state = self.state
        scheme = "https" if port in state.tls_ports() else "http"
        try:
            sock.settimeout(10)
            if scheme == "https":
                sock = self.base.wrap_socket(sock, server_side=True)
            Handler(sock, address, Connection(state, scheme, port))
        except (OSError, ssl.SSLError) as e:
            log(f"{scheme} :{port} {address[0]}:{address[1]}: {e}")
        finally:
            sock.close()

    def run(self):
        self.refresh()
        print("ready", flush=True)
        while True:
            for key, _ in self.selector.select(POLL_SECONDS):
                try:
                    sock, address = key.fileobj.accept()
                except OSError:
                    continue
                self.refresh()
                threading.Thread(target=self.serve, args=(sock, address, key.data), daemon=True).start()
            self.refresh()


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: front.py STATE_FOLDER")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    front = Front(sys.argv[1])
    try:
        front.run()
    except KeyboardInterrupt:
        pass
    finally:
        shutil.rmtree(front.keys, ignore_errors=True)


if __name__ == "__main__":
    main()
