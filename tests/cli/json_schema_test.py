#!/usr/bin/env python3
"""Runs every command's --json over the sample disc, the corpus discs and the
independent disc, and validates each document against docs/schema/<command>.schema.json.
Exit status 0 passed, 1 failed, 77 skipped (python3-jsonschema absent)."""
import argparse
import glob
import json
import os
import subprocess
import sys
import tempfile

try:
    from jsonschema import Draft202012Validator
except ImportError:
    print("SKIP: python3-jsonschema is not installed (apt-get install python3-jsonschema)")
    sys.exit(77)

COMMANDS = ["scan", "menu", "playlists", "clipinfo", "map", "walk", "subs", "dump", "demux",
            "objects", "rip", "rebuild", "quantize", "check", "play"]


class Runner:
    def __init__(self, tessel, schemas, tmp):
        self.tessel = tessel
        self.tmp = tmp
        self.validators = {}
        for c in COMMANDS:
            with open(os.path.join(schemas, c + ".schema.json")) as f:
                schema = json.load(f)
            Draft202012Validator.check_schema(schema)
            self.validators[c] = Draft202012Validator(schema)
        self.failures = []
        self.checked = {c: 0 for c in COMMANDS}
        self.first = {}
        self.n = 0

    def folder(self, name):
        self.n += 1
        path = os.path.join(self.tmp, "%s%d" % (name, self.n))
        os.makedirs(path)
        return path

    def validate(self, command, doc, where):
        errors = sorted(self.validators[command].iter_errors(doc), key=lambda e: list(e.path))
        for e in errors[:3]:
            self.failures.append("%s: %s at /%s" % (where, e.message[:300],
                                                    "/".join(str(p) for p in e.path)))
        self.checked[command] += 1
        self.first.setdefault(command, doc)

    def run(self, command, args, codes=(0,), json_file=None):
        """Runs tessel command args; validates its stdout (or json_file's glob)."""
        argv = [self.tessel, command] + args
        where = " ".join(argv[1:])
        p = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
        if p.returncode not in codes:
            self.failures.append("%s: exit status %d (%s)" % (where, p.returncode,
                                                             p.stderr.decode(errors="replace")[:300]))
            return None
        if json_file:
            files = sorted(glob.glob(json_file))
            if not files:
                self.failures.append("%s: no %s written" % (where, json_file))
            for f in files:
                with open(f) as fh:
                    self.validate(command, json.load(fh), where + " -> " + f)
            return None
        if p.returncode != 0 and not p.stdout:
            return None
        try:
            doc = json.loads(p.stdout)
        except ValueError as e:
            self.failures.append("%s: stdout is not JSON: %s" % (where, e))
            return None
        self.validate(command, doc, where)
        return doc


def disc_cases(r, bdmv, label):
    """Every command over one disc folder with its clips."""
    r.run("scan", [bdmv, "--json"])
    r.run("scan", [bdmv, "--json", "--collapse"])
    r.run("scan", [bdmv, "--json", "--quick"])
    r.run("playlists", [bdmv, "--json"])
    for clpi in sorted(glob.glob(os.path.join(bdmv, "CLIPINF", "*"))):
        r.run("clipinfo", [clpi, "--json"])
    r.run("menu", [bdmv, "--json"])
    r.run("walk", [bdmv, "--keys", "right,down,enter", "--json"])
    r.run("map", [bdmv])
    r.run("check", [bdmv, "--json"], codes=(0, 2))
    rip = r.folder("rip")
    r.run("rip", [bdmv, rip, "--yes", "--json"])
    r.run("rip", [bdmv, r.folder("rip-quick"), "--yes", "--json", "--quick"])
    pngs = sorted(glob.glob(os.path.join(rip, "**", "*.png"), recursive=True))
    if pngs:
        r.run("quantize", [pngs[0], os.path.join(r.folder("q"), "q.png"), "--json"])
    for m2ts in sorted(glob.glob(os.path.join(bdmv, "STREAM", "*"))):
        out = r.folder("demux")
        # A clip whose graphics PIDs carry nothing fails, still with its JSON.
        doc = r.run("demux", [m2ts, out, "--all-graphics", "--json"], codes=(0, 2))
        for track in (doc or {}).get("tracks", []):
            if track.get("file"):
                stream_cases(r, track["file"])


def play_cases(r, bdmv):
    """tessel play of every page of every IG stream of a disc."""
    scan = r.run("scan", [bdmv, "--json"]) or {}
    for clip in scan.get("clips", []):
        for ig in clip.get("igs", []):
            where = ["--clip", str(clip["clip"]), "--pid", str(ig["pid"])]
            p = subprocess.run([r.tessel, "menu", bdmv, "--json"] + where, stdout=subprocess.PIPE,
                               timeout=600)
            sets = [d for d in json.loads(p.stdout or b"[]") if d.get("pages")]
            for page in (sets[0]["pages"] if sets else []):
                r.run("play", [bdmv, "--json", "--page", str(page["id"]),
                               "--keys", "down@0.2,enter@0.4,popup@0.6,1@0.8"] + where)


def stream_cases(r, stream):
    r.run("dump", [stream, "--json"])
    # Cut inside its last display set: the JSON still describes what was read.
    with open(stream, "rb") as f:
        data = f.read()
    cut = os.path.join(r.folder("cut"), os.path.basename(stream))
    with open(cut, "wb") as f:
        f.write(data[: len(data) - 7])
    r.run("dump", [cut, "--json"] + (["--bare"] if stream.endswith(".ies") else []), codes=(2,))
    if stream.endswith(".sup"):
        out = r.folder("subs")
        r.run("subs", [stream, out, "--format", "json"], json_file=os.path.join(out, "*.json"))
        return
    r.run("menu", [stream, "--json"])
    r.run("check", [stream, "--json"], codes=(0, 2))
    r.run("objects", [stream, r.folder("objects"), "--json"])
    r.run("rebuild", [stream, os.path.join(r.folder("rebuild"), "again.ig"), "--mui", "--json"])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tessel", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--corpus", required=True)
    a = ap.parse_args()
    with tempfile.TemporaryDirectory(prefix="tessel_json_") as tmp:
        r = Runner(a.tessel, os.path.join(a.source, "docs", "schema"), tmp)
        sample = os.path.join(a.source, "samples", "demo", "BDMV")
        disc_cases(r, sample, "sample")
        play_cases(r, sample)
        subs = r.folder("subs")
        # Its only PG stream (clip 00003) is empty: nothing is written, the run fails.
        r.run("subs", [sample, subs, "--format", "json"], codes=(2,))
        if os.path.isdir(a.corpus):
            independent = os.path.join(a.corpus, "independent", "menu_a_single_page")
            disc_cases(r, os.path.join(independent, "BDMV"), "independent")
            stream_cases(r, os.path.join(independent, "menu.ies"))
            for disc in sorted(glob.glob(os.path.join(a.corpus, "discs", "*", "BDMV"))):
                r.run("playlists", [disc, "--json"])
                for clpi in sorted(glob.glob(os.path.join(disc, "CLIPINF", "*"))):
                    r.run("clipinfo", [clpi, "--json"])
            for sup in sorted(glob.glob(os.path.join(a.corpus, "pg", "*.sup"))):
                stream_cases(r, sup)
            for m2ts in sorted(glob.glob(os.path.join(a.corpus, "m2ts", "*.m2ts"))):
                r.run("demux", [m2ts, r.folder("demux"), "--all-graphics", "--json"],
                      codes=(0, 2))
            for png in sorted(glob.glob(os.path.join(a.corpus, "quant", "*", "input.png"))):
                r.run("quantize", [png, os.path.join(r.folder("q"), "q.png"), "--json"])
        else:
            print("corpus %s absent: only the sample disc was checked" % a.corpus)
        # A schema that let a renamed key through would not catch one.
        for command, doc in r.first.items():
            if isinstance(doc, list):
                doc = doc[0] if doc else None
                validator_doc = lambda d: [d]
            else:
                validator_doc = lambda d: d
            if not isinstance(doc, dict) or not doc:
                continue
            key = next(iter(doc))
            renamed = {(k + "_renamed" if k == key else k): v for k, v in doc.items()}
            if r.validators[command].is_valid(validator_doc(renamed)):
                r.failures.append("%s: the schema accepts the key %s renamed" % (command, key))
        for c in COMMANDS:
            print("%-10s %d document(s) valid" % (c, r.checked[c]))
            if r.checked[c] == 0:
                r.failures.append("%s: no output was checked" % c)
    for f in r.failures:
        print("FAIL " + f)
    return 1 if r.failures else 0


if __name__ == "__main__":
    sys.exit(main())
