#!/usr/bin/env python3
"""Lists the product's functions longer than a limit (60 lines unless told),
longest first, from the first line of the name to the closing brace.

    tools/long-functions.py [--limit N] [FOLDER...]

Uses universal-ctags (which knows where each function ends); lambdas count
as part of the function that holds them. Without folders it looks at the
product: app, installer, pages, platform, window and the command-line tool.
"""
import argparse
import json
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
PRODUCT = ["app", "installer", "pages", "platform", "window", "msi-transform"]


def functions(folders):
    files = sorted(str(p.relative_to(ROOT)) for folder in folders for p in (ROOT / folder).rglob("*")
                   if p.suffix in (".cpp", ".h"))
    if not files:
        return
    tags = subprocess.run(["ctags", "--languages=C++", "--kinds-C++=f", "--fields=+ne", "--output-format=json",
                           "-o", "-", *files], cwd=ROOT, check=True, stdout=subprocess.PIPE, text=True).stdout
    for line in tags.splitlines():
        tag = json.loads(line)
        if tag.get("_type") != "tag" or "end" not in tag or tag["name"].startswith("__anon"):
            continue
        scope = tag.get("scope", "")
        name = f"{scope}::{tag['name']}" if scope else tag["name"]
        yield tag["end"] - tag["line"] + 1, tag["path"], tag["line"], name


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--limit", type=int, default=60)
    parser.add_argument("folders", nargs="*", default=PRODUCT)
    args = parser.parse_args()
    long = sorted((f for f in functions(args.folders) if f[0] > args.limit), key=lambda f: (-f[0], f[1]))
    for length, path, line, name in long:
        print(f"{length:4}  {path}:{line}  {name}")
    print(f"{len(long)} functions over {args.limit} lines")
    return 0


if __name__ == "__main__":
    sys.exit(main())
