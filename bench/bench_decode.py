#!/usr/bin/env python3
"""Compare the reply decoder with Python's own codecs on the same bytes.

Builds bench/bench_decode.cpp (CMake option QIV_BUILD_BENCH, Release), writes 16 MiB of text in
each encoding, times the C++ decoder and bytes.decode() on the same bytes in this one run, checks
that both give the same text and prints one table of medians. The two sides take turns, a few
runs each per round, so that load from elsewhere on the machine falls on both alike.

    .venv/bin/python bench/bench_decode.py [--size-mib 16] [--rounds 7] [--repeat 3] [--build-dir build/bench]

On glibc the script re-runs itself with the allocator told to keep freed memory (no fresh pages
from the kernel for each result), for both sides alike: otherwise page faults on the 16 MiB
results, which come and go with the allocator's heuristics, outweigh the decoding being measured.
"""

from __future__ import annotations

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import bench_rows

ROOT = Path(__file__).resolve().parent.parent

# Plain prose in each script; characters on which both decoders agree.
ENGLISH = ("The server answers every request with a short report of what it stored and when. "
           "Clients read the report, check the fields they sent and retry after a pause if "
           "anything is missing.\n")
FRENCH = ("Le serveur répond à chaque requête par un court rapport : ce qu'il a enregistré, "
          "à quelle heure et pour quel client. Les fenêtres « déjà vues » sont ignorées, même "
          "après une coupure réseau prolongée.\n")
GERMAN = ("Der Server beantwortet jede Anfrage mit einem kurzen Bericht über die gespeicherten "
          "Felder. Größere Nachrichten werden geprüft, bevor sie übernommen werden – das kostet "
          "etwa 3 € pro Million Aufrufe.\n")
SPANISH = ("El servidor responde a cada petición con un informe breve: «¿qué se guardó, cuándo "
           "y para quién?». Las réplicas pequeñas llegan en menos de un segundo.\n")
RUSSIAN = ("Сервер отвечает на каждый запрос коротким отчётом о том, что он сохранил и когда. "
           "Клиенты читают отчёт, проверяют отправленные поля и повторяют запрос после паузы.\n")
GREEK = ("Ο διακομιστής απαντά σε κάθε αίτημα με μια σύντομη αναφορά για όσα αποθήκευσε. "
         "Οι πελάτες διαβάζουν την αναφορά και ελέγχουν τα πεδία που έστειλαν.\n")
CHINESE = ("服务器对每个请求都会返回一份简短的报告，说明它保存了什么以及保存的时间。"
           "客户端读取报告，检查发送的字段，如果缺少内容就在暂停后重试。\n")
JAPANESE = ("サーバーはすべての要求に対して、何をいつ保存したかを短い報告で返します。"
            "クライアントは報告を読み、送ったフィールドを確かめ、足りないものがあれば"
            "少し待ってから再送します。設定ファイル（config.json）の値は 30 秒ごとに読み直されます。\n")
KOREAN = ("서버는 모든 요청에 대해 무엇을 언제 저장했는지 짧은 보고서로 응답합니다. "
          "클라이언트는 보고서를 읽고 보낸 필드를 확인합니다.\n")

# (case, charset label for the C++ side, Python codec, text)
CASES = [
    ("utf-8", "utf-8", "utf-8",
     ENGLISH + FRENCH + GERMAN + RUSSIAN + GREEK + CHINESE + JAPANESE + KOREAN + SPANISH),
    ("windows-1252", "windows-1252", "cp1252", ENGLISH + FRENCH + GERMAN + SPANISH),
    ("Shift_JIS", "shift_jis", "shift_jis", JAPANESE + JAPANESE + ENGLISH),
    ("utf-8, ASCII only", "utf-8", "utf-8", ENGLISH),
]


def make_body(text: str, codec: str, size: int) -> bytes:
    """Whole copies of the text, then ASCII spaces up to exactly size bytes."""
    unit = text.encode(codec)
    body = unit * (size // len(unit))
    return body + b" " * (size - len(body))


def build(build_dir: Path) -> Path:
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build_dir), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DQIV_BUILD_BENCH=ON"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build_dir), "--target", "bench_decode"],
                   check=True, stdout=subprocess.DEVNULL)
    return build_dir / "bench_decode"


def time_python(body: bytes, codec: str, repeat: int) -> tuple[list[float], str]:
    seconds = []
    text = ""
    for _ in range(repeat):
        text = ""  # the last result freed first, as bench_decode.cpp does on its side
        start = time.perf_counter()
        text = body.decode(codec)
        seconds.append(time.perf_counter() - start)
    return seconds, text


# Allocations up to 32 MiB from the heap, and freed memory kept rather than given back.
TUNABLES = "glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=4294967296"


def main() -> int:
    if os.environ.get("GLIBC_TUNABLES") != TUNABLES and sys.platform.startswith("linux"):
        os.execve(sys.executable, [sys.executable, *sys.argv], {**os.environ, "GLIBC_TUNABLES": TUNABLES})
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size-mib", type=int, default=16)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--repeat", type=int, default=3, help="runs of each side per round")
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "bench")
    args = parser.parse_args()

    exe = build(args.build_dir)
    size = args.size_mib * 1024 * 1024
    ours: list[list[float]] = [[] for _ in CASES]
    python: list[list[float]] = [[] for _ in CASES]
    same = [True for _ in CASES]
    with tempfile.TemporaryDirectory() as tmp:
        command = [str(exe), str(args.repeat)]
        bodies = []
        for number, (case, label, codec, text) in enumerate(CASES):
            body = make_body(text, codec, size)
            bodies.append(body)
            src, out = Path(tmp) / f"{number}.in", Path(tmp) / f"{number}.out"
            src.write_bytes(body)
            command += [label, str(src), str(out)]
        for round_number in range(args.rounds):
            lines = subprocess.run(command, check=True, capture_output=True, text=True).stdout.splitlines()
            for number, ((case, label, codec, _), body, line) in enumerate(zip(CASES, bodies, lines)):
                ours[number] += [float(t) for t in line.split()[3:]]
                seconds, text = time_python(body, codec, args.repeat)
                python[number] += seconds
                if round_number == 0:
                    same[number] = (Path(tmp) / f"{number}.out").read_bytes() == text.encode("utf-8")
    rows = [(case, statistics.median(o), statistics.median(p), s_)
            for (case, *_), o, p, s_ in zip(CASES, ours, python, same)]

    mib = size / (1024 * 1024)
    print(f"{mib:.0f} MiB per case, median of {args.rounds * args.repeat} runs of each side")
    print(f"{'case':<20}{'ours ms':>10}{'ours GB/s':>11}{'Python ms':>11}{'Python GB/s':>13}"
          f"{'Python/ours':>13}  same text")
    for case, our_s, python_s, same_text in rows:
        print(f"{case:<20}{our_s * 1e3:>10.2f}{size / our_s / 1e9:>11.2f}{python_s * 1e3:>11.2f}"
              f"{size / python_s / 1e9:>13.2f}{python_s / our_s:>13.2f}  {'yes' if same_text else 'NO'}")
        bench_rows.record(f"decode {mib:.0f} MiB {case}", our_s, "Python codec", python_s)
    return 0 if all(same) else 1


if __name__ == "__main__":
    sys.exit(main())
