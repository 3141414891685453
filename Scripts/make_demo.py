#!/usr/bin/env python3
"""Writes a demo project (format version 10) and the files it lists into a folder.

Usage: make_demo.py <folder>
The entries use paths relative to the project file, so the demo works wherever the folder is.
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import wave


def string(text):
    data = text.encode('utf-16-le')
    padded = (len(data) + 3) // 4 * 4
    return struct.pack('<HH', padded, len(data)) + data + b'\0' * (padded - len(data))


def search_block():
    return (string('') + struct.pack('<i', 1) + string('') + bytes([1, 0, 0, 0]) +
            struct.pack('<I', 0) + bytes([0, 0, 0, 0]))


def folder(folder_id, kind, entries):
    out = struct.pack('<IIHHI', len(entries), folder_id, 1, 0, kind) + search_block()
    for e in entries:
        out += string(e.get('name', '')) + string(e.get('path', '')) + string('')
        out += bytes([1 if e.get('path') else 0, 0, 0, 0, e.get('colour', 0), 0, 0, 0])
        out += string('') + string('')
        sub = e.get('sub')
        out += struct.pack('<I', 1 if sub else 0)
        if sub:
            out += folder(*sub)
    return out


def project(root):
    placement = struct.pack('<IIIiiii4i', 44, 0, 1, -1, -1, -1, -1, 120, 80, 920, 640)
    out = b'KVTFolder10     ' + struct.pack('<I', 44) + placement
    out += string('%FileName%%FileExt% - %DirPath%')
    out += struct.pack('<HHHH', 0, 2, 0, 1) + string('')
    out += struct.pack('<I', 1)                      # applications: Notepad for several entries
    out += string('C:\\windows\\notepad.exe') + string('メモ帳') + struct.pack('<I', 2)
    out += string('txt') + string('csv')
    out += struct.pack('<HBB', 0, 1, 0)              # tray, status bar, alias
    out += string('') * 10
    out += bytes([1, 0, 0, 0, 1, 0]) + struct.pack('<H', 170) + b'\0' * 248
    out += struct.pack('<5I', 180, 220, 70, 140, 110) + struct.pack('<I', 1) + b'\0' * 64
    out += struct.pack('<I', 5)                      # folder id counter
    return out + folder(1, 1, root)


FILES = {
    'files/はじめに.txt': 'TessaraFolder のデモです。\r\n',
    'files/予定表.csv': '日付,予定\r\n2026/12/07,打ち合わせ\r\n',
    'files/メモ.txt': 'ひとつのファイルを複数のフォルダに整理できます。\r\n',
    'files/資料/報告書.txt': '報告書の下書き\r\n',
    'files/資料/議事録.txt': '議事録\r\n',
}


# Pictures for the image folder, made by ImageMagick from its built-in images: a PNG with
# transparency, a JPEG, a GIF with a transparent colour, an uncompressed 32-bit TGA (read by the
# program itself) and a PPM (read by the PNM plug-in).
PICTURES = [
    ('logo.png', ['logo:', '-resize', '30%', '-transparent', 'white']),
    ('rose.jpg', ['rose:', '-resize', '200%', '-quality', '90']),
    ('wizard.gif', ['wizard:', '-resize', '40%', '-transparent', 'white']),
    ('rose.tga', ['rose:', '-alpha', 'set', '-compress', 'none']),
    ('netscape.ppm', ['netscape:']),
    ('granite.jpg', ['granite:', '-resize', '400%']),
]


def write_pictures(folder):
    os.makedirs(folder, exist_ok=True)
    convert = shutil.which('convert')
    made = []
    for name, args in PICTURES:
        target = os.path.join(folder, name)
        if convert and not os.path.exists(target):
            subprocess.run([convert] + args + [target], check=True)
        if os.path.exists(target):
            made.append(name)
    return made


def write_chime(path):
    """A short sample sound: three falling notes, 16-bit mono at 22,050 Hz."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    rate = 22050
    frames = bytearray()
    for note in (880.0, 660.0, 523.25):
        for i in range(int(rate * 0.25)):
            fade = 1.0 - i / (rate * 0.25)
            frames += struct.pack('<h', int(12000 * fade * math.sin(2 * math.pi * note * i / rate)))
    with wave.open(path, 'wb') as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(bytes(frames))


def main():
    out_dir = sys.argv[1]
    for rel, text in FILES.items():
        path = os.path.join(out_dir, *rel.split('/'))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'w', encoding='utf-8', newline='') as f:
            f.write(text)
    docs = [
        {'name': '報告書.txt', 'path': 'files\\資料\\報告書.txt', 'colour': 2},
        {'name': '議事録.txt', 'path': 'files\\資料\\議事録.txt'},
        {'name': 'はじめに.txt', 'path': 'files\\はじめに.txt'},
    ]
    pictures = [{'name': name, 'path': 'files\\画像\\' + name}
                for name in write_pictures(os.path.join(out_dir, 'files', '画像'))]
    write_chime(os.path.join(out_dir, 'files', '音楽', 'chime.wav'))
    music = [{'name': 'chime.wav', 'path': 'files\\音楽\\chime.wav'}]
    root = [
        {'name': 'ドキュメント', 'sub': (2, 1, docs)},
        {'name': '音楽', 'sub': (3, 2, music)},
        {'name': '画像', 'sub': (4, 3, pictures)},
        {'name': 'はじめに.txt', 'path': 'files\\はじめに.txt', 'colour': 1},
        {'name': '予定表.csv', 'path': 'files\\予定表.csv'},
        {'name': 'メモ.txt', 'path': 'files\\メモ.txt', 'colour': 4},
        {'name': '資料', 'path': 'files\\資料'},
        {'name': '消えたファイル.txt', 'path': 'files\\消えたファイル.txt'},
    ]
    with open(os.path.join(out_dir, 'demo.tfolder'), 'wb') as f:
        f.write(project(root))


if __name__ == '__main__':
    main()
