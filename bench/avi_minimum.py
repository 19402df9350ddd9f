#!/usr/bin/env python3
"""The fewest bytes a reader must fetch from an AVI file to show the given video frames.

    avi_minimum.py FILE FRAME...      (0-based video frame indices)

Prints one line: "header=<bytes> index=<bytes> frames=<bytes> total=<bytes>".

- header: everything before the movie data (RIFF header, hdrl list, padding) plus the movi list's
  own 12-byte header;
- index: the idx1 chunk, or for an OpenDML file the ix## chunks of the first video stream that
  hold the wanted frames' entries;
- frames: for each wanted frame, the chunks from the key frame at or before it up to the frame
  (8-byte chunk header included), each chunk counted once.
"""

import mmap
import struct
import sys

VIDEO_TYPES = (b"dc", b"db")


def chunks(data, start, end):
    """Yields (fourcc, offset of the chunk header, payload size) for the chunks in [start, end)."""
    pos = start
    while pos + 8 <= end:
        fourcc, size = struct.unpack_from("<4sI", data, pos)
        yield fourcc, pos, size
        pos += 8 + size + (size & 1)


def find_lists(data):
    """Returns (movi list offset, movi list size, idx1 (offset, size) or None, hdrl range)."""
    riff, riff_size, form = struct.unpack_from("<4sI4s", data, 0)
    if riff != b"RIFF" or form != b"AVI ":
        raise SystemExit("not an AVI file")
    movi = idx1 = hdrl = None
    for fourcc, pos, size in chunks(data, 12, min(len(data), 8 + riff_size)):
        if fourcc == b"LIST":
            kind = data[pos + 8 : pos + 12]
            if kind == b"movi" and movi is None:
                movi = (pos, size)
            elif kind == b"hdrl":
                hdrl = (pos + 12, pos + 8 + size)
        elif fourcc == b"idx1":
            idx1 = (pos, size)
    if movi is None:
        raise SystemExit("no movi list")
    return movi, idx1, hdrl


def video_stream_number(data, hdrl):
    """The two-digit number of the first video stream, and its 'indx' super index if any."""
    number = 0
    for fourcc, pos, size in chunks(data, *hdrl):
        if fourcc != b"LIST" or data[pos + 8 : pos + 12] != b"strl":
            continue
        kind = None
        indx = None
        for sub, spos, ssize in chunks(data, pos + 12, pos + 8 + size):
            if sub == b"strh":
                kind = data[spos + 8 : spos + 12]
            elif sub == b"indx":
                indx = (spos + 8, ssize)
        if kind == b"vids":
            return number, indx
        number += 1
    raise SystemExit("no video stream")


def frames_from_idx1(data, movi, idx1, stream):
    """[(chunk offset, payload size, key)] of the video stream, in order."""
    prefix = b"%02d" % stream
    pos, size = idx1
    entries = []
    first_offset = None
    for i in range(size // 16):
        fourcc, flags, offset, length = struct.unpack_from("<4sIII", data, pos + 8 + 16 * i)
        if fourcc[:2] != prefix or fourcc[2:] not in VIDEO_TYPES:
            continue
        if first_offset is None:
            first_offset = offset
        entries.append((offset, length, bool(flags & 0x10)))
    # Offsets are either from the start of the file or from the "movi" fourcc.
    base = 0 if first_offset is not None and first_offset >= movi[0] + 12 else movi[0] + 8
    return [(base + o, n, k) for o, n, k in entries]


def frames_from_odml(data, indx):
    """[(chunk offset, payload size, key)] and [(ix chunk offset, size, first frame, count)]."""
    pos, _ = indx
    longs_per_entry, sub_type, index_type, entries_in_use, chunk_id = struct.unpack_from(
        "<HBBI4s", data, pos
    )
    frames = []
    ix_chunks = []
    for i in range(entries_in_use):
        offset, size, duration = struct.unpack_from("<QII", data, pos + 24 + 16 * i)
        first = len(frames)
        ix = offset + 8
        per, _, _, in_use, _, base = struct.unpack_from("<HBBI4sQ", data, ix)
        for j in range(in_use):
            off, length = struct.unpack_from("<II", data, ix + 24 + 8 * j)
            frames.append((base + off - 8, length & 0x7FFFFFFF, not (length & 0x80000000)))
        ix_chunks.append((offset, size + 8, first, len(frames) - first))
    return frames, ix_chunks


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    with open(sys.argv[1], "rb") as f:
        data = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
    wanted = sorted({int(a) for a in sys.argv[2:]})
    movi, idx1, hdrl = find_lists(data)
    stream, indx = video_stream_number(data, hdrl)
    header = movi[0] + 12
    if indx is not None:
        frames, ix_chunks = frames_from_odml(data, indx)
        needed = {
            (o, s)
            for o, s, first, count in ix_chunks
            for w in wanted
            if first <= w < first + count
        }
        index = sum(s for _, s in needed)
    else:
        if idx1 is None:
            raise SystemExit("no index")
        frames = frames_from_idx1(data, movi, idx1, stream)
        index = 8 + idx1[1]
    counted = set()
    frame_bytes = 0
    for w in wanted:
        if not 0 <= w < len(frames):
            raise SystemExit(f"frame {w} is outside the file's {len(frames)} frames")
        key = w
        while key > 0 and not frames[key][2]:
            key -= 1
        for n in range(key, w + 1):
            if n not in counted and frames[n][1] > 0:
                counted.add(n)
                frame_bytes += 8 + frames[n][1]
    total = header + index + frame_bytes
    print(f"header={header} index={index} frames={frame_bytes} total={total}")


if __name__ == "__main__":
    main()
