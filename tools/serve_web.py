#!/usr/bin/env python3
"""Serves the board page (build-web/, made by `make web`) on http://localhost:8000.

    tools/serve_web.py                      # build-web on port 8000, cross-origin isolated
    tools/serve_web.py --port 8080 DIR
    tools/serve_web.py --no-isolation       # as a plain host would: single-threaded engine

With the two headers that make a page cross-origin isolated
(Cross-Origin-Opener-Policy: same-origin, Cross-Origin-Embedder-Policy: require-corp) the
page may share memory with its workers and runs the threaded engine; without them it runs
the single-threaded one. .wasm files go out as application/wasm. Python's standard
library only.
"""

import argparse
import functools
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    isolation = True

    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".js": "text/javascript",
        ".mjs": "text/javascript",
        ".css": "text/css",
        ".html": "text/html",
        ".svg": "image/svg+xml",
        ".png": "image/png",
    }

    def end_headers(self):
        if self.isolation:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        # The page changes with every build: no stale engine from a cache.
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):
        if self.server.verbose:
            super().log_message(format, *args)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("directory", nargs="?", default="build-web")
    p.add_argument("--port", type=int, default=8000)
    p.add_argument("--host", default="localhost")
    p.add_argument("--no-isolation", action="store_true", help="leave out the isolation headers")
    p.add_argument("--quiet", action="store_true", help="do not log requests")
    args = p.parse_args()
    if not os.path.isfile(os.path.join(args.directory, "index.html")):
        sys.exit(f"{args.directory}/index.html is missing: run `make web` first")
    handler = type("PageHandler", (Handler,), {"isolation": not args.no_isolation})
    server = http.server.ThreadingHTTPServer((args.host, args.port), functools.partial(handler, directory=args.directory))
    server.verbose = not args.quiet
    server.daemon_threads = True
    kind = "not isolated: single-threaded engine" if args.no_isolation else "cross-origin isolated: threaded engine"
    # The port actually bound (0 asks the system for a free one): tests read this line.
    print(f"serving {args.directory} on http://{args.host}:{server.server_address[1]}/ ({kind})", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
