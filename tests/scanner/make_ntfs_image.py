#!/usr/bin/env python3
"""Builds an NTFS test image through mkntfs and an ntfs-3g (FUSE) mount.

make_ntfs_image.py <out-dir> [--files N] [--size-mb M] [--quick]

Writes <out-dir>/volume.img, <out-dir>/manifest.txt and, for every file it
deletes again, a copy of its bytes in <out-dir>/orig/. Manifest lines are
tab-separated UTF-8: kind (F file, D folder), state (E exists, X deleted),
size, modification time (Unix seconds), path below the root ("/"
separators), and the name of the saved copy ("-" when none).
Exit code 77 means FUSE mounting is not possible here.
"""
import os, random, shutil, stat, subprocess, sys, time

def run(*cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

def main():
    args = sys.argv[1:]
    out = args[0]
    files = 20000
    size_mb = 96
    bulk_only = False
    i = 1
    while i < len(args):
        if args[i] == '--files': files = int(args[i + 1]); i += 2
        elif args[i] == '--size-mb': size_mb = int(args[i + 1]); i += 2
        elif args[i] == '--bulk-only': bulk_only = True; i += 1
        else: raise SystemExit('bad argument ' + args[i])
    os.makedirs(out, exist_ok=True)
    img = os.path.join(out, 'volume.img')
    mnt = os.path.join(out, 'mnt')
    orig = os.path.join(out, 'orig')
    os.makedirs(mnt, exist_ok=True)
    os.makedirs(orig, exist_ok=True)
    if os.path.exists(img): os.remove(img)
    with open(img, 'wb') as f: f.truncate(size_mb << 20)
    run('mkntfs', '-F', '-q', '-f', '-s', '512', '-c', '4096', '-L', 'lumsek', img)
    r = subprocess.run(['ntfs-3g', '-o', 'big_writes', img, mnt], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if r.returncode != 0:
        sys.stderr.write('ntfs-3g mount failed: %s\n' % r.stderr.decode(errors='replace'))
        return 77
    entries = {}   # path -> [kind, state, size, mtime, copy]
    rng = random.Random(1234)
    base_time = 1577934245  # 2020-01-02 03:04:05 UTC
    counter = [0]

    def stamp(path):
        counter[0] += 1
        t = base_time + counter[0] * 61
        os.utime(os.path.join(mnt, path), (t, t))
        return t

    def mkdir(path):
        os.mkdir(os.path.join(mnt, path))
        entries[path] = ['D', 'E', 0, 0, '-']

    def write(path, data):
        with open(os.path.join(mnt, path), 'wb') as f: f.write(data)
        entries[path] = ['F', 'E', len(data), stamp(path), '-']

    def content(n, seed):
        r = random.Random(seed)
        return (bytes(r.getrandbits(8) for _ in range(min(n, 4096))) * (n // 4096 + 1))[:n]

    try:
        # Bulk: many small files in a few folders, so the table spans runs.
        per_dir = 1000
        for d in range((files + per_dir - 1) // per_dir):
            dname = 'bulk%02d' % d
            mkdir(dname)
            for k in range(min(per_dir, files - d * per_dir)):
                p = dname + '/f%05d.txt' % k
                if bulk_only:
                    # Empty files made with one call each: the benchmark's
                    # 200,000 files go in about twice as fast.
                    os.mknod(os.path.join(mnt, p), 0o644 | stat.S_IFREG)
                    entries[p] = ['F', 'E', 0, None, '-']
                else:
                    with open(os.path.join(mnt, p), 'wb') as f: f.write(b'x' * (k % 7))
                    entries[p] = ['F', 'E', k % 7, None, '-']
        if not bulk_only:
            mkdir('docs')
            mkdir('docs/deep')
            mkdir('docs/deep/deeper')
            mkdir('中文目录')
            write('empty.txt', b'')
            write('docs/small.txt', b'hello resident world\n')
            write('docs/deep/deeper/nested.bin', content(50000, 1))
            write('中文目录/报告.txt', '你好，世界'.encode('utf-8') * 10)
            write('中文目录/大文件.dat', content(3 << 20, 2))
            write('large.bin', content(6 << 20 | 123, 3))
            mkdir('gone')
            write('gone/a.txt', b'first deleted file in a deleted folder')
            write('gone/b.bin', content(70000, 4))
            mkdir('holes')
            for k in range(700):
                write('holes/h%03d' % k, content(8192, 100 + k))
            # Fill the rest of the volume so the next file must use holes.
            with open(os.path.join(mnt, 'filler.bin'), 'wb') as f:
                chunk = b'\0' * (1 << 20)
                try:
                    while True: f.write(chunk); f.flush()
                except OSError:
                    pass
            os.remove(os.path.join(mnt, 'filler.bin'))
            with open(os.path.join(mnt, 'filler.bin'), 'wb') as f:
                pass
            st = os.statvfs(mnt)
            free = st.f_bavail * st.f_frsize
            reserve = 96 << 10
            with open(os.path.join(mnt, 'filler.bin'), 'wb') as f:
                f.write(b'\xAB' * max(0, free - reserve))
            entries['filler.bin'] = ['F', 'E', os.path.getsize(os.path.join(mnt, 'filler.bin')), stamp('filler.bin'), '-']
            for k in range(0, 700, 2):
                os.remove(os.path.join(mnt, 'holes/h%03d' % k))
                del entries['holes/h%03d' % k]
            # Two files made of the holes: one with its runs in its own record
            # (deleted below), one with so many runs that they spill into
            # extension records behind an attribute list (kept).
            write('fragmented.bin', content(100 * 8192 + 777, 5))
            write('scattered.bin', content(240 * 8192 + 333, 6))
            for p, e in entries.items():
                e[3] = int(os.stat(os.path.join(mnt, p)).st_mtime)
            # Deletions last, so nothing reuses the freed records or clusters.
            doomed = ['docs/small.txt', 'docs/deep/deeper/nested.bin', '中文目录/大文件.dat',
                      'fragmented.bin', 'gone/a.txt', 'gone/b.bin', 'empty.txt', 'bulk00/f00003.txt']
            for n, p in enumerate(doomed):
                copy = 'orig%02d' % n
                shutil.copyfile(os.path.join(mnt, p), os.path.join(orig, copy))
                os.remove(os.path.join(mnt, p))
                entries[p][1] = 'X'
                entries[p][4] = copy
            os.rmdir(os.path.join(mnt, 'gone'))
            entries['gone'][1] = 'X'
        # Folder times as they ended up (creating entries changes them).
        for p, e in entries.items():
            if e[1] == 'E':
                e[3] = int(os.stat(os.path.join(mnt, p)).st_mtime)
    finally:
        subprocess.run(['umount', mnt])
    with open(os.path.join(out, 'manifest.txt'), 'w', encoding='utf-8') as f:
        for p, e in sorted(entries.items()):
            f.write('%s\t%s\t%d\t%d\t%s\t%s\n' % (e[0], e[1], e[2], e[3] or 0, p, e[4]))
    return 0

if __name__ == '__main__':
    sys.exit(main())
