#!/usr/bin/env python3
"""Writes the small seed corpora under fuzz/corpus/<target>/: valid blobs in both byte orders and a few
broken ones. Run from anywhere; the files are committed, so this is only needed when the format grows."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
STORED = [0, 2, 3, 4, 5, 6, 7]


def blob(records, kind, big=False, selected=0, word=0, zoom=100):
    e = ">" if big else "<"
    data = b""
    count = 0
    for tag, (name, values) in enumerate(records):
        data += struct.pack(e + "ii", 0, 156) + struct.pack("<i", tag)
        data += name.encode()[:23].ljust(156, b"\0")
        count += 1
        for i in STORED:
            data += struct.pack(e + "ii", 1, 20) + struct.pack("<i", tag)
            data += struct.pack(e + "i", i) + b"\0" * 8 + struct.pack(e + "f", values[i]) + b"\0" * 4
            count += 1
    magic = b"QVWG" if big else b"GWVQ"
    head = magic + bytes([kind]) + struct.pack(e + "9i", 0x02000100, 12, count, selected, len(data), 13, word, zoom, 0)
    return head + data


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


default = ("Default", [1.0, 0, 0.5, 0.5, 0.5, 0.5, 0.15, 0.5, 0, 0, 0, 0])
warm = ("Warm Bus", [0.5, 0, 0.3333, 0.5, 0.6, 0.375, 0.133, 0.5, 0, 0, 0, 0])
loud = ("Loud", [1.0, 0, 1.5, 0.5, 0.5, 0.5, 0.15, 0.5, 0, 0, 0, 0])

single = blob([warm], 0x22)
for target in ("fuzz_preset_file", "fuzz_favorite_blob", "fuzz_clipboard_blob"):
    write(target, "le", single)
    write(target, "be", blob([warm], 0x22, big=True))
    write(target, "out-of-range", blob([loud], 0x22))
    write(target, "truncated", single[:200])
    write(target, "short", single[:4])

host = blob([warm, default, default], 0x38, word=3, zoom=150)
for target in ("fuzz_host_state", "fuzz_compare_defaults"):
    write(target, "le", host)
    write(target, "be", blob([warm, default, default], 0x38, big=True))
    write(target, "defaults", blob([default, default, default], 0x38))
    write(target, "selected-50", blob([warm, default, default], 0x38, selected=50))
    write(target, "truncated", host[:700])

reg = (
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Quarry-tone\\QRVWG1]\n"
    '"Favorite_0"=hex:' + ",".join("%02x" % b for b in single[:30]) + ",\\\n  "
    + ",".join("%02x" % b for b in single[30:60]) + "\n"
    '"ManualPath"="C:\\\\Manuals\\\\warm \\"glow\\".pdf"\n\n'
    "[HKEY_CURRENT_USER\\SOFTWARE\\Quarry-tone\\QRVWGME1]\n"
    '"QRVWG1: 59"=hex:cd,cc,cc,3d\n"Count"=dword:0000002a\n\n; end\n'
)
write("fuzz_reg_file", "settings.reg", reg.encode())
write("fuzz_reg_file", "truncated.reg", reg.encode()[:120])

# LV2 state: flags byte (0x15: chunk, other slot and active slot present, each of its right type), then the
# chunk and the other slot with 16-bit lengths, then the active slot's 32-bit value.
state_prefix = b"\0\0\0\x02GWVQ"


def lv2_state(flags, chunk, other, active):
    return bytes([flags]) + struct.pack("<H", len(chunk)) + chunk + struct.pack("<H", len(other)) + other + active


write("fuzz_lv2_state", "a-active", lv2_state(0x15, state_prefix + host, single, struct.pack("<i", 0)))
write("fuzz_lv2_state", "b-active", lv2_state(0x15, state_prefix + host, blob([default], 0x22), struct.pack("<i", 1)))
write("fuzz_lv2_state", "chunk-only", lv2_state(0x01, state_prefix + blob([warm, warm, warm], 0x38, big=True), b"", b""))
write("fuzz_lv2_state", "wrong-types", lv2_state(0x3F, state_prefix + host, single, struct.pack("<i", 1)))

# CLAP state: the chunk, the other A/B slot, then the footer (other slot's size, active slot, flags, "QRVc").
def state_stream(chunk, other, active, flags=0):
    return chunk + other + struct.pack("<IiI", len(other), active, flags) + b"QRVc"


write("fuzz_state_stream", "a-active", state_stream(state_prefix + host, single, 0))
write("fuzz_state_stream", "b-active-bypassed", state_stream(state_prefix + host, blob([default], 0x22), 1, 1))
write("fuzz_state_stream", "chunk-only", state_prefix + blob([warm, warm, warm], 0x38, big=True))

# VST3 state: the same streams behind one byte that sets how many bytes the host's stream moves per call.
write("fuzz_vst3_state", "a-active", b"\x07" + state_stream(state_prefix + host, single, 0))
write("fuzz_vst3_state", "b-active-bypassed", b"\x07" + state_stream(state_prefix + host, blob([default], 0x22), 1, 1))
write("fuzz_vst3_state", "chunk-only", b"\x07" + state_prefix + blob([warm, warm, warm], 0x38, big=True))


# AAX chunks: selector byte (bits 0-1 chunk ID: 0 'elck', 1 'All '; bits 2-3 notification: 1 session being
# opened, 2 preset opened; bit 4 compare), then the chunk data. 'All ' is the state prefix, the host-state
# blob and an 8-byte trailer; 'elck' is a count and (name length, name, type 0, 64-bit double) entries.
def controls(values):
    out = struct.pack("<I", len(values))
    for name, value in values:
        out += bytes([len(name)]) + name.encode() + b"\0" + struct.pack("<d", value)
    return out


elck = controls([("MasterBypassID", 0.0), ("0: Process", 1.0), ("2: Ratio", 0.5), ("5: Compression", 0.75),
                 ("6: Output", 0.2), ("PresetSTART", 0.0)])
all_chunk = state_prefix + host + b"\0" * 8
write("fuzz_aax_chunks", "elck", bytes([0x00]) + elck)
write("fuzz_aax_chunks", "all", bytes([0x01]) + all_chunk)
write("fuzz_aax_chunks", "all-session-opening", bytes([0x05]) + all_chunk)
write("fuzz_aax_chunks", "all-preset-opened", bytes([0x09]) + all_chunk)
write("fuzz_aax_chunks", "all-compare", bytes([0x11]) + all_chunk)
write("fuzz_aax_chunks", "all-defaults-be", bytes([0x01]) + state_prefix + blob([default] * 3, 0x38, big=True) + b"\0" * 8)
