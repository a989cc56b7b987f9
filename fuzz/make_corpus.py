#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/ from the real station.

usage: make_corpus.py BIN_DIR   (BIN_DIR holds velmora-station, e.g. build-rel/bin)

Pages come from velmora-station itself: the five listing pages and the page faults (NUL bytes,
markers reversed, no start, no end), and a played stream, so the seeds are what the viewer really
reads. The other seeds are written here. FuzzedDataProvider inputs take strings from the front (a
backslash and another byte end one) and choices from the back.
"""
import os
import re
import socket
import subprocess
import sys
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
PAGES = ["100813", "100751", "100702", "100727", "100639"]
LABELS = [s.encode("gbk") for s in ["新闻联播", "药都时空", "走进农家", "谯城报道", "药都论坛"]]
ANCHORS = [(b"<strong>", 39, 50), (b"<strong>", 8, 50), (b"<strong>", 39, 20),
           (b"<strong>", 39, 48), (b"</a>", -14, 7)]


def station(bin_dir, faults, more=()):
    args = [os.path.join(bin_dir, "velmora-station"), "--port", "0"] + list(more)
    for row, mode in faults.items():
        args += ["--fault", "%d=%s" % (row, mode)]
    proc = subprocess.Popen(args, stdout=subprocess.PIPE)
    line = proc.stdout.readline().decode()
    port = int(line.rsplit(":", 1)[1])
    return proc, port


def fetch(port, row):
    url = "http://127.0.0.1:%d/index/4/20100112/%s.shtml" % (port, PAGES[row - 1])
    return urllib.request.urlopen(url).read()


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def section(page):
    s = page.find(b"<!--Content Start-->")
    e = page.find(b"<!--Content End-->")
    return page[s + 20:e] if 0 <= s < e else b""


def entry_lines(row, text):
    anchor, offset, count = ANCHORS[row - 1]
    out, p, q = b"", 0, 0
    for _ in range(count):
        p = text.find(anchor, p)
        start = p + offset if p >= 0 else -1 + offset
        title = text[max(start, 0):max(start + 14, 0)] if start + 14 > 0 else b""
        q = text.find(b"<a href=", q) + 1
        link = text[q + 8:q + 8 + 38] if q > 0 else text[7:45]
        out += LABELS[row - 1] + b"|" + title + b"|" + link + b"\r\n"
        p = p + 1 if p >= 0 else 0
        q = q + 1 if q > 0 else 0
    return out


def provided(strings, choices):
    """A FuzzedDataProvider input: strings from the front, choices (first taken first) at the back."""
    data = b""
    for s in strings:
        data += s.replace(b"\\", b"\\\\") + b"\\\n"
    return data + bytes(reversed(choices))


def main():
    bin_dir = sys.argv[1]
    proc, port = station(bin_dir, {})
    pages = [fetch(port, row) for row in range(1, 6)]
    proc.terminate()
    for row, page in enumerate(pages, 1):
        write("fuzz_extraction", "page-%d.html" % row, page)
        write("fuzz_gbk", "titles-%d.txt" % row,
              b"".join(l.split(b"|")[1] for l in entry_lines(row, section(page)).split(b"\r\n")[:4]
                       if l))
    # A played stream as the viewer keeps it, cut after three packets; the first byte places the
    # cut between the target's two pieces.
    proc, port = station(bin_dir, {}, ["--stream-fault", "cut=3"])
    request = urllib.request.Request(
        "http://127.0.0.1:%d/sp/%%E6%%96%%B0%%E9%%97%%BB.wmv" % port,
        headers={"Pragma": "no-cache,stream-offset=0:0,xPlayStrm=1,Speed=1000.000"})
    stream = urllib.request.urlopen(request).read()
    proc.terminate()
    write("fuzz_mmsh", "stream", b"\x02" + stream)
    write("fuzz_mmsh", "stream-at-the-header", b"\x00" + stream[:2000])

    proc, port = station(bin_dir, {1: "nul", 2: "markers-reversed", 3: "no-start", 5: "no-end"})
    for row, name in [(1, "nul"), (2, "markers-reversed"), (3, "no-start"), (5, "no-end")]:
        write("fuzz_extraction", "page-%d-%s.html" % (row, name), fetch(port, row))
    proc.terminate()

    lines = [entry_lines(row, section(page)) for row, page in enumerate(pages, 1)]
    # All five groups, in order and shuffled; one category empty; a title holding CR LF.
    write("fuzz_catalogue", "full", provided(lines, [5, 0, 1, 2, 3, 4]))
    write("fuzz_catalogue", "shuffled", provided(lines, [5, 4, 2, 0, 3, 1]))
    write("fuzz_catalogue", "one-empty", provided(lines[:2] + [b""] + lines[3:], [5, 0, 1, 2, 3, 4]))
    broken = LABELS[0] + b"|ab\r\ncd|link\r\n" + LABELS[0] + b"||\r\n" + LABELS[0] + b"|x|y|z\r\n"
    write("fuzz_catalogue", "fragments", provided([broken, b"", b"", b"", b""], [1, 0]))

    ini = {
        "settings": b"[shou]\r\ngengxing=1\r\n",
        "others": b"; kept\r\n[other]\r\nkey = value\r\n\r\n[shou]\r\ngengxing = 0\r\nmore=1\r\n[last]\r\nx=y",
        "lf-bom": b"\xef\xbb\xbf[SHOU]\nGengXing='1'\n",
        "gbk": "[设置]\r\n名字=值\r\n[shou]\r\n".encode("gbk"),
        "no-section": b"gengxing=1\r\n[shouu]\r\ngengxing=1",
        "cr-only": b"[a]\rb=c\r\r[shou]\r",
    }
    for name, content in ini.items():
        write("fuzz_ini", name, provided([content, b"1"], [1, 1]))
    write("fuzz_ini", "empty", provided([b"", b"0"], [1, 1]))

    gbk = {
        "ascii": b"sp/20100112-01.wmv",
        "split-end": "新闻联播十二".encode("gbk")[:13],
        "split-start": "新闻联播十二".encode("gbk")[1:],
        "mixed": b"2010" + "年新闻".encode("gbk") + b"\x81\x7f\xff\x80",
    }
    for name, data in gbk.items():
        write("fuzz_gbk", name, data)

    title = "新闻联播2010年1月12".encode("gbk")
    escaped = "".join("%%%02X" % b for b in title).encode()
    requests = {
        "page": b"GET /index/4/20100112/100813.shtml HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nAccept: */*\r\n\r\n",
        "stream": b"GET /sp/" + escaped + b".wmv HTTP/1.0\r\nAccept: */*\r\nUser-Agent: NSPlayer/7.10.0.3059\r\n"
                  b"Pragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,request-context=2,max-duration=0\r\n"
                  b"Pragma: xClientGUID={c77e7400-738a-11d2-9add-0020af0a3278}\r\n\r\n",
        "bare-lf": b"GET /ad/?x=1#f HTTP/1.1\nHost: a\n\n",
        "partial": b"GET /index/4/20100112/1008",
        "folded": b"GET / HTTP/1.1\r\nX: a\r\n  b\r\n\r\n",
        "bad-version": b"GET / HTTP/x.1\r\n\r\n",
    }
    for name, data in requests.items():
        write("fuzz_request", name, data)


if __name__ == "__main__":
    main()
