#!/usr/bin/env python3
"""Checks the control's voice prompts where they end up and where they come from.

  inspect_prompts.py ocx <prompts.txt> <voice-prompts.md> <ocx> [--optional <ocx>]...
      Reads the WAVE resources 203-215 out of each built OCX (its PE resource
      tree, language 2052) and checks each file's format, length and loudness,
      that no two prompts are the same recording, and that the documented
      table matches the texts and the measured lengths.
  inspect_prompts.py table <prompts.txt> <ocx>
      Prints the documented table for the built OCX.
  inspect_prompts.py generator <make_prompt.sh>
      Speaks a very short and a very long text and checks that both land
      inside the allowed length.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

PROMPT_IDS = list(range(203, 216))
LANGUAGE = 2052
RATE, CHANNELS, BITS = 44100, 2, 16
MIN_SECONDS, MAX_SECONDS = 1.3, 2.3
RMS_FLOOR = 1000.0          # about -30 dBFS over the whole prompt
VOICED_FLOOR = 330.0        # about -40 dBFS over a 50 ms window
MIN_VOICED_SHARE = 0.5      # at least half of a prompt is sound, not padding
DOC_TOLERANCE = 0.05        # seconds between the documented and the built length

failures = []


def fail(where, what):
    failures.append(f"{where}: {what}")
    print(f"FAIL {where}: {what}")


# --- PE resources -----------------------------------------------------------

def read_resources(path):
    """Returns {(type, name, language): bytes} of a PE image's resource tree."""
    data = open(path, "rb").read()
    if data[:2] != b"MZ":
        raise ValueError("not an MZ image")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    resource_rva, resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
    if resource_size == 0:
        return {}
    table = []
    for i in range(sections):
        vsize, vaddr, raw_size, raw_ptr = struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
        table.append((vaddr, max(vsize, raw_size), raw_ptr))

    def offset_of(rva):
        for vaddr, size, raw_ptr in table:
            if vaddr <= rva < vaddr + size:
                return raw_ptr + rva - vaddr
        raise ValueError(f"RVA {rva:#x} outside every section")

    base = offset_of(resource_rva)

    def key(name_field):
        if name_field & 0x80000000:
            at = base + (name_field & 0x7FFFFFFF)
            length = struct.unpack_from("<H", data, at)[0]
            return data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        return name_field

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + ids):
            name_field, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            yield key(name_field), target

    found = {}
    for rtype, type_dir in entries(0):
        for name, name_dir in entries(type_dir & 0x7FFFFFFF):
            for lang, leaf in entries(name_dir & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                at = offset_of(rva)
                found[(rtype, name, lang)] = data[at:at + size]
    return found


# --- WAVE files ---------------------------------------------------------------

def parse_wave(blob):
    """Returns (fmt fields, PCM bytes) of a RIFF/WAVE file, or raises ValueError."""
    if blob[:4] != b"RIFF" or blob[8:12] != b"WAVE":
        raise ValueError("not a RIFF/WAVE file")
    riff_size = struct.unpack_from("<I", blob, 4)[0]
    if riff_size + 8 > len(blob):
        raise ValueError(f"RIFF size {riff_size} runs past the resource's {len(blob)} bytes")
    fmt = pcm = None
    at = 12
    while at + 8 <= riff_size + 8:
        chunk, size = struct.unpack_from("<4sI", blob, at)
        body = blob[at + 8:at + 8 + size]
        if len(body) < size:
            raise ValueError(f"chunk {chunk!r} is cut short")
        if chunk == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body)
        elif chunk == b"data":
            pcm = body
        at += 8 + size + (size & 1)
    if fmt is None or pcm is None:
        raise ValueError("fmt or data chunk missing")
    return fmt, pcm


def loudness(pcm):
    """Returns (RMS over all samples, share of 50 ms windows above the voiced floor)."""
    samples = struct.unpack(f"<{len(pcm) // 2}h", pcm[:len(pcm) // 2 * 2])
    total = sum(s * s for s in samples)
    rms = math.sqrt(total / max(1, len(samples)))
    window = RATE * CHANNELS // 20
    windows = [samples[i:i + window] for i in range(0, len(samples) - window + 1, window)]
    voiced = sum(1 for w in windows if math.sqrt(sum(s * s for s in w) / window) >= VOICED_FLOOR)
    return rms, voiced / max(1, len(windows))


def check_wave(where, blob, min_voiced=MIN_VOICED_SHARE):
    """Checks one prompt; returns its length in seconds or None."""
    try:
        fmt, pcm = parse_wave(blob)
    except (ValueError, struct.error) as error:
        fail(where, str(error))
        return None
    tag, channels, rate, byte_rate, block_align, bits = fmt
    want = (1, CHANNELS, RATE, RATE * CHANNELS * BITS // 8, CHANNELS * BITS // 8, BITS)
    if (tag, channels, rate, byte_rate, block_align, bits) != want:
        fail(where, f"format (tag, channels, rate, byte rate, align, bits) {fmt}, want {want}")
        return None
    if len(pcm) % block_align:
        fail(where, f"data length {len(pcm)} is not whole frames")
    seconds = len(pcm) / byte_rate
    if not MIN_SECONDS <= seconds <= MAX_SECONDS:
        fail(where, f"lasts {seconds:.3f} s, outside {MIN_SECONDS}-{MAX_SECONDS} s")
    rms, voiced = loudness(pcm)
    if rms < RMS_FLOOR:
        fail(where, f"RMS {rms:.0f} below {RMS_FLOOR:.0f}: (nearly) silent")
    if voiced < min_voiced:
        fail(where, f"only {voiced:.0%} of the windows carry sound")
    print(f"  {where}: {seconds:.3f} s, RMS {rms:.0f}, voiced {voiced:.0%}", file=sys.stderr)
    return seconds


# --- texts and documentation ----------------------------------------------------

def read_texts(path):
    """Returns {id: (occasion, text, gloss)} from prompts.txt."""
    texts = {}
    for line in open(path, encoding="utf-8"):
        if line.startswith("#") or not line.strip():
            continue
        fields = [f.strip() for f in line.split("|")]
        texts[int(fields[0])] = tuple(fields[1:4])
    return texts


def table_rows(texts, lengths):
    rows = ["| Id | Played when | Text | English | Length (s) |", "|---|---|---|---|---|"]
    for pid in PROMPT_IDS:
        occasion, text, gloss = texts[pid]
        rows.append(f"| {pid} | {occasion} | {text} | {gloss} | {lengths.get(pid, 0):.2f} |")
    return rows


def check_docs(doc_path, texts, lengths):
    documented = {}
    for line in open(doc_path, encoding="utf-8"):
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) == 5 and cells[0].isdigit():
            documented[int(cells[0])] = cells
    for pid in PROMPT_IDS:
        where = f"{os.path.basename(doc_path)} prompt {pid}"
        if pid not in documented:
            fail(where, "not documented")
            continue
        cells = documented[pid]
        if tuple(cells[1:4]) != texts[pid]:
            fail(where, f"documents {cells[1:4]}, prompts.txt says {list(texts[pid])}")
        if pid in lengths and abs(float(cells[4]) - lengths[pid]) > DOC_TOLERANCE:
            fail(where, f"documents {cells[4]} s, the built prompt lasts {lengths[pid]:.3f} s")
    extra = sorted(set(documented) - set(PROMPT_IDS))
    if extra:
        fail(os.path.basename(doc_path), f"documents unknown prompts {extra}")


def inspect_ocx(path, texts):
    """Checks the prompts of one OCX; returns {id: seconds}."""
    print(f"inspecting {path}", file=sys.stderr)
    try:
        resources = read_resources(path)
    except (ValueError, KeyError, struct.error) as error:
        fail(path, f"unreadable PE resources: {error}")
        return {}
    lengths, seen = {}, {}
    for pid in PROMPT_IDS:
        where = f"{os.path.basename(os.path.dirname(os.path.dirname(path)))} WAVE {pid}"
        blob = resources.get(("WAVE", pid, LANGUAGE))
        if blob is None:
            others = [lang for (t, n, lang) in resources if t == "WAVE" and n == pid]
            fail(where, f"missing in language {LANGUAGE}" + (f" (present in {others})" if others else ""))
            continue
        if blob in seen:
            fail(where, f"same recording as WAVE {seen[blob]}")
        seen[blob] = pid
        generated = os.path.join(os.path.dirname(path), "prompts", f"{pid}.wav")
        if os.path.isfile(generated) and open(generated, "rb").read() != blob:
            fail(where, f"differs from {generated}: the module embeds a stale recording")
        seconds = check_wave(where, blob)
        if seconds is not None:
            lengths[pid] = seconds
    extra = sorted(n for (t, n, _) in resources if t == "WAVE" and n not in PROMPT_IDS)
    if extra:
        fail(path, f"unexpected WAVE resources {extra}")
    return lengths


def check_generator(script):
    cases = {"short": "好", "long": "请把眼睛对准设备，保持不动，不要眨眼，然后前后移动调整距离"}
    with tempfile.TemporaryDirectory() as work:
        table = os.path.join(work, "prompts.txt")
        with open(table, "w", encoding="utf-8") as out:
            out.write("# test texts\n")
            for pid, (name, text) in enumerate(cases.items(), start=301):
                out.write(f"{pid} | {name} | {text} | {name}\n")
        for pid, name in enumerate(cases, start=301):
            wav = os.path.join(work, f"{pid}.wav")
            run = subprocess.run(["bash", script, table, str(pid), wav], capture_output=True, text=True)
            if run.returncode != 0:
                fail(f"generator {name}", f"exit {run.returncode}: {run.stderr.strip()}")
                continue
            # A one-syllable text is mostly padding; it must still be heard.
            check_wave(f"generator {name}", open(wav, "rb").read(), min_voiced=0.1)
        run = subprocess.run(["bash", script, table, "399", os.path.join(work, "399.wav")],
                             capture_output=True, text=True)
        if run.returncode == 0 or os.path.exists(os.path.join(work, "399.wav")):
            fail("generator unknown id", "succeeded for an id without a text")


def main(argv):
    mode = argv[1] if len(argv) > 1 else ""
    if mode == "ocx" and len(argv) >= 5:
        texts = read_texts(argv[2])
        if sorted(texts) != PROMPT_IDS:
            fail(argv[2], f"lists prompts {sorted(texts)}, want 203-215")
            texts = {pid: texts.get(pid, ("", "", "")) for pid in PROMPT_IDS}
        args, first = argv[4:], None
        while args:
            optional = args[0] == "--optional"
            path = args[1] if optional else args[0]
            args = args[2:] if optional else args[1:]
            if not os.path.isfile(path):
                if optional:
                    print(f"skipped {path}: not built")
                else:
                    fail(path, "not built")
                continue
            lengths = inspect_ocx(path, texts)
            if first is None:
                first = lengths
                check_docs(argv[3], texts, lengths)
    elif mode == "table" and len(argv) == 4:
        texts = read_texts(argv[2])
        print("\n".join(table_rows(texts, inspect_ocx(argv[3], texts))))
        return 1 if failures else 0
    elif mode == "generator" and len(argv) == 3:
        check_generator(argv[2])
    else:
        print(__doc__)
        return 2
    print(f"prompts: {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
