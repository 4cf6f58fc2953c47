#!/usr/bin/env python3
"""Builds the routes file that lets tools/http_sim serve the sample site.

    make_routes.py SITE_DIR PORT > routes.json

Every file under SITE_DIR is served at its path with its bytes as the body
and a content type from its name; the table below adds the answers that are
not plain files (redirects, a 404) and per-page content types. PORT is the
port the server will listen on, for absolute redirect targets.
"""

import json
import os
import sys

TYPES = {".html": "text/html", ".txt": "text/plain", ".png": "image/png"}

# Path -> http_sim response parameters; "file" names the body's file.
SPECIAL = {
    "/": {"file": "index.html", "ctype": "text/html; charset=utf-8"},
    "/index.html": {"ctype": "text/html; charset=utf-8"},
    "/big5.html": {"ctype": "text/html; charset=big5"},
    "/latin1.html": {"ctype": "text/html; charset=iso-8859-1"},
    # A chain across two host names: 301 to the other name, then 302 back.
    "/old.html": {"status": 301, "header": "Location: http://127.0.0.1:{port}/moved.html",
                  "body": ""},
    "/moved.html": {"status": 302, "header": "Location: http://localhost:{port}/final.html",
                    "body": ""},
    "/missing.html": {"status": 404, "body": "<html><body>Not found</body></html>"},
}


def file_route(site, name):
    with open(os.path.join(site, name), "rb") as fp:
        body = fp.read()
    ext = os.path.splitext(name)[1]
    # http_sim sends the body text encoded as latin-1, byte for byte.
    return {"body": body.decode("latin-1"), "ctype": TYPES.get(ext, "application/octet-stream")}


def build(site, port):
    routes = {}
    for root, _, files in os.walk(site):
        for name in files:
            rel = os.path.relpath(os.path.join(root, name), site)
            routes["/" + rel.replace(os.sep, "/")] = file_route(site, rel)
    for path, params in SPECIAL.items():
        route = dict(routes.get(path, {}))
        if "file" in params:
            route.update(file_route(site, params["file"]))
        for key, value in params.items():
            if key != "file":
                route[key] = value.format(port=port) if isinstance(value, str) else value
        routes[path] = route
    return routes


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    json.dump(build(sys.argv[1], int(sys.argv[2])), sys.stdout, indent=1, sort_keys=True)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
