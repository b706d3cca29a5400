#!/usr/bin/env python3
"""The dos file-system commands in compiled scripts played by the real player, on trees built here with
coreutils and checked with the OS's own view (os.stat, zlib.crc32, os.statvfs).

usage: file_system_test.py PLAYER COMPILER [GROUP]   (GROUP: one of the test_ functions without "test_"; all
when left out; ctest runs each group as its own test so that they run side by side)"""
import os
import subprocess
import sys
import tempfile
import threading
import time
import zlib

PLAYER, COMPILER = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
SCRATCH = tempfile.mkdtemp(prefix="vl_dos_files_")
TMPDIR = os.path.join(SCRATCH, "tmp")
os.makedirs(TMPDIR)
failures = []
run_count = 0


def sh(command, cwd):
    subprocess.run(command, shell=True, check=True, cwd=cwd, env=dict(os.environ, TZ="UTC"))


def play(source, cwd, linked=()):
    """Compiles source in cwd and plays it; returns the output lines (stdout and stderr)."""
    global run_count
    run_count += 1
    script = os.path.join(cwd, "t.vls")
    with open(script, "w") as f:
        f.write("".join('@linkfile "%s"\n' % name for name in linked) + source)
    subprocess.run([COMPILER, "-o", os.path.join(cwd, "t.vla"), script], check=True, cwd=cwd)
    env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy", TZ="UTC", TMPDIR=TMPDIR)
    done = subprocess.run([PLAYER, "-quiet", "-debugdevice", "@stdout", "t.vla"], cwd=cwd, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    return done.stdout.decode("utf-8", "replace").splitlines()


def check(label, actual, expected):
    if actual != expected:
        failures.append("%s:\n  expected %r\n  got      %r" % (label, expected, actual))


def group(name):
    path = os.path.join(SCRATCH, name)
    os.makedirs(path)
    return path


def flags_of(path):
    """The FILEATTR flags the player must report for a file without stored protection."""
    mode = os.stat(path).st_mode
    bits = [(0o400, 1), (0o200, 2), (0o100, 8), (0o40, 512), (0o20, 1024), (0o10, 2048), (0o4, 4096),
            (0o2, 8192), (0o1, 16384)]
    return 4 + sum(flag for bit, flag in bits if mode & bit)


def date_text(seconds):
    return time.strftime("%d-%b-%Y %H:%M:%S", time.gmtime(seconds))


def has_user_xattrs(path):
    try:
        os.setxattr(path, "user.vl_probe", b"1")
        os.removexattr(path, "user.vl_probe")
        return True
    except OSError:
        return False


def leftovers(directory):
    return sorted(n for n in os.listdir(directory) if n.startswith("."))


def run_errors(cwd, cases, linked=()):
    """Each case is (label, script lines, expected text in the error report); the error must end the script."""
    for label, source, message in cases:
        out = play(source + '\nDebugPrint("no error")\n', cwd, linked)
        if not out or message not in "\n".join(out[-2:]) or "no error" in out:
            failures.append("%s: expected an error with %r, got %r" % (label, message, out[-3:]))


WRONG_USAGE = "Wrong usage/parameters for this command!"


# ---- Listing -------------------------------------------------------------------------------------------------
def test_listing():
    cwd = group("listing")
    sh("mkdir -p d/z d/y e empty && touch d/b.txt d/a.txt d/ümlaut.txt d/longname_b d/longname_a d/longnam d/longname && "
       "ln -s a.txt d/lf && ln -s z d/ld && "
       "ln -s nowhere d/dang && mkfifo d/pipe && touch -d '2007-03-09 14:03:05' d/a.txt && "
       "touch -d '1975-06-01 08:00:00' d/b.txt && touch e/only", cwd)
    out = play("""
Local f, d = {}, {}
Local nf, nd = ReadDirectory("d", f, d)
DebugPrint(nf, nd)
For i = 0 To nf
    DebugPrint("[" .. f[i] .. "]")
Next
For i = 0 To nd
    DebugPrint("[" .. d[i] .. "]")
Next
f, d = {}, {}
nf, nd = ReadDirectory("d", f, d, 0)
DebugPrint(nf, nd, "[" .. f[nf] .. "]", "[" .. d[nd] .. "]")
nf, nd = ReadDirectory("empty", f, d)
DebugPrint(nf, nd, "[" .. f[0] .. "]", "[" .. d[0] .. "]")
OpenDirectory(1, "d")
Local e = NextDirectoryEntry(1)
While e <> Nil
    If e.name == "a.txt" Or e.name == "b.txt" Or e.name == "dang" Or e.name == "ld"
        DebugPrint(e.name, e.type, e.size, e.flags, e.time, "[" .. e.comment .. "]")
    EndIf
    e = NextDirectoryEntry(1)
Wend
DebugPrint(NextDirectoryEntry(1) == Nil, NextDirectoryEntry(1) == Nil)
OpenDirectory(1, "e")
DebugPrint(NextDirectoryEntry(1).name)
Local h = OpenDirectory(Nil, "e")
DebugPrint(NextDirectoryEntry(h).name, NextDirectoryEntry(h) == Nil)
CloseDirectory(h)
CloseDirectory(1)
Local a = GetFileAttributes("d/z")
DebugPrint(a.type, a.size, a.path)
""", cwd)
    # Names that agree in their first eight bytes, and one that is a prefix of another.
    files = ["a.txt", "b.txt", "dang", "lf", "longnam", "longname", "longname_a", "longname_b", "pipe", "ümlaut.txt", ""]
    check("sorted listing", out[:15], ["10 3"] + ["[%s]" % n for n in files] + ["[ld]", "[y]", "[z]"])
    check("listing end marker", out[15], "[]")
    check("unsorted listing", out[16], "10 3 [] []")
    check("empty directory", out[17], "0 0 [] []")
    link, z = os.lstat(os.path.join(cwd, "d/dang")), os.path.join(cwd, "d/z")
    check("entries", out[18:22], [
        "a.txt 0 0 %d 09-Mar-2007 14:03:05 []" % flags_of(os.path.join(cwd, "d/a.txt")),
        "b.txt 0 0 %d 01-Jun-1975 08:00:00 []" % flags_of(os.path.join(cwd, "d/b.txt")),
        "dang 0 7 %d %s []" % (0x7e0f, date_text(link.st_mtime)),  # a dangling link: a file, all mode bits
        "ld 1 Nil %d %s []" % (flags_of(z), date_text(os.stat(z).st_mtime)),
    ])
    check("finished scan", out[22], "1 1")
    check("reopened number", out[23], "only")
    check("automatic handle", out[24], "only 1")
    check("directory attributes", out[25], "1 Nil " + os.path.join(cwd, "d/z"))
    run_errors(cwd, [
        ("ReadDirectory of a file", 'ReadDirectory("d/a.txt", {}, {})', "d/a.txt is not a directory!"),
        ("ReadDirectory of nothing", 'ReadDirectory("none", {}, {})', "Error locking none!"),
        ("CloseDirectory not open", "CloseDirectory(5)", "Could not find directory handle 5!"),
    ])


# ---- Copying, deleting, renaming --------------------------------------------------------------------------------
def test_copy_and_delete():
    cwd = group("tree")
    sh("mkdir -p src/sub outside && head -c 40000 /dev/urandom > src/big && touch src/empty && "
       "echo old > old.txt && echo keep > dst_keep && touch -d '2001-02-03 04:05:06' src/big && "
       "chmod 640 src/big && echo secret > outside/x && ln -s ../outside src/out && ln -s .. src/sub/loop && "
       "echo in > src/sub/f.txt", cwd)
    out = play("""
Local calls = {}
Function status(msg)
    If msg.action == #COPYFILE_STATUS
        DebugPrint("status", msg.copied, msg.filesize, FilePart(msg.destination), msg.userdata)
    EndIf
    Return 0
EndFunction
CopyFile("src/big", "a/b/c", Nil, status, "u")
CopyFile("src/empty", "a/b/c", Nil, status)
DebugPrint("tree")
CopyFile("src", "copy")
DebugPrint("copied")
CopyFile("src/big", "over", "old.txt", Function(msg) Return 0 EndFunction)
CopyFile("src/big", ".", "dst_keep", Function(msg) Return msg.action + 1 EndFunction)
CopyFile("src/big", ".", "dst_keep", Function(msg) Return 0 EndFunction)
CopyFile("src/big", ".", "dst_keep", Function(msg) Return -1 EndFunction)
DebugPrint("stopped")
""", cwd)
    check("copy status calls", out[:4], ["status 16384 40000 big u", "status 32768 40000 big u",
                                         "status 40000 40000 big u", "tree"])
    check("copy finished", out[4:6], ["copied", "stopped"])
    big = os.stat(os.path.join(cwd, "src/big"))
    copy = os.stat(os.path.join(cwd, "a/b/c/big"))
    check("date and mode kept", (copy.st_mtime, copy.st_mode & 0o777), (big.st_mtime, 0o640))
    check("empty file copied", os.path.getsize(os.path.join(cwd, "a/b/c/empty")), 0)
    check("stopped overwrite keeps the old file", open(os.path.join(cwd, "dst_keep")).read(), "keep\n")
    check("no temporary files", leftovers(cwd), [])
    check("links copied as links", (os.readlink(os.path.join(cwd, "copy/out")),
                                    os.readlink(os.path.join(cwd, "copy/sub/loop"))), ("../outside", ".."))
    check("tree copy has the files", open(os.path.join(cwd, "copy/sub/f.txt")).read(), "in\n")

    # A destination that exists: a callback returning nothing is 1190 and leaves everything as it was.
    before = open(os.path.join(cwd, "old.txt"), "rb").read()
    run_errors(cwd, [
        ("status callback returns nothing",
         'CopyFile("src/big", ".", "old.txt", Function(m)\nIf m.action == #COPYFILE_OVERWRITE\nReturn 1\nEndIf\nEndFunction)',
         "Callback function was expected to return a number!"),
        ("file onto itself", 'CopyFile("src/big", "src")', WRONG_USAGE),
        ("directory into its subtree", 'CopyFile("src", "src/sub/deeper")', WRONG_USAGE),
        ("directory into itself", 'CopyFile("src", "src")', WRONG_USAGE),
        ("new name for a directory", 'CopyFile("src", "x", "y")', WRONG_USAGE),
        ("new name with a path", 'CopyFile("src/big", "x", "a/b")', WRONG_USAGE),
        ("file onto a directory", 'CopyFile("src/big", ".", "src")', "Cannot write to file"),
        ("rename onto an existing name", 'Rename("old.txt", "dst_keep")', "Could not rename file!"),
        ("rename to a parent", 'Rename("old.txt", "..")', WRONG_USAGE),
        ("make a directory over a file", 'MakeDirectory("old.txt/x")', "Error creating directory"),
        ("delete a linked name", 'DeleteFile(":::chunk0:1*a/b")', WRONG_USAGE),
    ])
    check("1190 keeps the destination", open(os.path.join(cwd, "old.txt"), "rb").read(), before)
    check("refused copies change nothing", (os.path.exists(os.path.join(cwd, "src/sub/deeper")),
                                            os.path.exists(os.path.join(cwd, "x")), leftovers(cwd)),
          (False, False, []))
    check("rename keeps both", (open(os.path.join(cwd, "old.txt")).read(),
                                open(os.path.join(cwd, "dst_keep")).read()), (before.decode(), "keep\n"))

    out = play("""
Rename("src/sub/f.txt", "other/g.txt")
DebugPrint(Exists("src/sub/g.txt"), Exists("src/sub/f.txt"))
DeleteFile("copy")
DebugPrint(Exists("copy"), Exists("outside/x"))
MakeDirectory("p/sub")
DeleteFile("none/at/all")
DebugPrint("deleted")
""", cwd)
    check("rename, delete", out, ["1 0", "0 1", "deleted"])
    check("outside untouched", sorted(os.listdir(os.path.join(cwd, "outside"))), ["x"])

    sh("touch p/a.txt p/b.Txt p/c.dat p/sub/x.dat && mkdir -p q/r && touch q/one q/r/two q/three", cwd)
    out = play("""
DeleteFile("p/#?.TXT")
Local f, d = {}, {}
DebugPrint(ReadDirectory("p", f, d), f[0])
DeleteFile("q/", Function(msg) DebugPrint(msg.action, FilePart(msg.file)) If FilePart(msg.file) == "r" Then Return 1 EndIf Return 0 EndFunction)
DebugPrint(Exists("q/three"), Exists("q/r"), Exists("q"))
DeleteFile("q/")
DebugPrint(Exists("q"), ReadDirectory("q", f, d))
DeleteFile("q")
DebugPrint(Exists("q"))
""", cwd)
    # The status answer 1 at "r" stops the walk: "three" after it stays.
    check("pattern and status deletes", out, ["1 c.dat", "0 one", "0 two", "0 r", "1 1 1", "1 0 0", "0"])
    sh("mkdir -p p/m.x && touch p/m.x/keep.y p/m.x/gone.x", cwd)
    run_errors(cwd, [("matching directory that keeps entries", 'DeleteFile("p/#?.x")', "Could not delete file!")])
    check("non-matching entries stay", sorted(os.listdir(os.path.join(cwd, "p/m.x"))), ["keep.y"])

    # 300 levels: an error, not a crash or a stack overflow.
    os.makedirs(os.path.join(cwd, "deep", *(["d"] * 300)))
    run_errors(cwd, [
        ("copy of a too deep tree", 'CopyFile("deep", "deepcopy")', "Could not examine"),
        ("delete of a too deep tree", 'DeleteFile("deep")', "Could not delete file!"),
    ])


def test_protection():
    cwd = group("protection")
    if not has_user_xattrs(cwd):
        print("skipped: no user extended attributes here")
        return
    sh("echo a > kept && echo b > asked && echo c > target && echo new > source && mkdir d", cwd)
    out = play("""
SetFileAttributes("kept", {flags = #FILEATTR_READ_USR + #FILEATTR_WRITE_USR})
SetFileAttributes("asked", {flags = #FILEATTR_READ_USR + #FILEATTR_WRITE_USR})
SetFileAttributes("target", {flags = #FILEATTR_READ_USR + #FILEATTR_WRITE_USR, comment = "a comment that is longer than seventy-nine characters, all of it kept in the attribute"})
DeleteFile("kept")
DeleteFile("asked", Function(msg) DebugPrint(msg.action, FilePart(msg.file)) Return 1 EndFunction)
DebugPrint(Exists("kept"), Exists("asked"))
CopyFile("source", ".", "target")
DebugPrint(GetFileAttributes("target").flags)
CopyFile("source", ".", "target", Function(msg) DebugPrint(msg.action) Return 1 EndFunction)
Local a = GetFileAttributes("target")
DebugPrint(a.size, a.flags, StrLen(a.comment))
""", cwd)
    # Answering 1 unprotects, and then stops at the status call that follows: the old data stays, unprotected.
    check("protection and unprotect answers", out, ["1 asked", "0 asked", "1 1", "3", "1", "2", "0", "2 7 86"])


# ---- Attributes, dates, checksums --------------------------------------------------------------------------------
def test_attributes():
    cwd = group("attributes")
    data = os.urandom(200 * 1024)
    with open(os.path.join(cwd, "random.bin"), "wb") as f:
        f.write(data)
    sh("printf 123456789 > digits && touch empty f", cwd)
    out = play("""
DebugPrint(CRC32("random.bin"), CRC32("digits"), CRC32("empty"))
SetFileAttributes("f", {time = "31-dec-2006 23:59:59"})
DebugPrint(GetFileAttributes("f").time)
SetFileAttributes("f", {flags = #FILEATTR_READ_USR + #FILEATTR_WRITE_USR + #FILEATTR_DELETE_USR + #FILEATTR_READ_OTH})
DebugPrint(GetFileAttributes("f").flags)
SetFileAttributes("f", {})
DebugPrint(GetFileAttributes("f").flags, GetFileAttributes("f").time)
""", cwd)
    check("checksums", out[0], "%d 3421780262 0" % zlib.crc32(data))
    check("date round trip", out[1], "31-Dec-2006 23:59:59")
    check("flags on disk", (out[2], oct(os.stat(os.path.join(cwd, "f")).st_mode & 0o777)), ("4103", "0o604"))
    check("empty table changes nothing", out[3], "4103 31-Dec-2006 23:59:59")
    if has_user_xattrs(cwd):
        out = play('SetFileAttributes("f", {comment = "héllo wörld"})\nDebugPrint(GetFileAttributes("f").comment)',
                   cwd)
        check("comment round trip", (out, os.getxattr(os.path.join(cwd, "f"), "user.xdg.comment").decode()),
              (["héllo wörld"], "héllo wörld"))
    bad_dates = ["31-Feb-2006 10:00:00", "31-Dec-2006 1a:00:00", "32-Dec-2006 10:00:00", "31-Dec-2006 24:00:00",
                 "1-Jan", "31-Dec-2006 23:59:59 ", "31-Dez-2006 10:00:00"]
    run_errors(cwd, [("date " + d, 'SetFileAttributes("f", {time = "%s"})' % d,
                      "Invalid date format specification!") for d in bad_dates] + [
        ("flags not a number", 'SetFileAttributes("f", {flags = "x"})', "flags"),
        ("time not a string", 'SetFileAttributes("f", {time = {}})', "time"),
        ("linked name", 'SetFileAttributes(":::chunk0:1*a/b", {})', WRONG_USAGE),
        ("CRC32 of nothing", 'CRC32("none")', "Cannot read file none !"),
    ])
    check("refused dates change nothing", play('DebugPrint(GetFileAttributes("f").time)', cwd),
          ["31-Dec-2006 23:59:59"])


# ---- Paths, volumes, programs -----------------------------------------------------------------------------------
def test_paths_and_programs():
    cwd = group("programs")
    with open(os.path.join(cwd, "prog.sh"), "w") as f:
        f.write('#!/bin/sh\necho "$0 $(stat -c %a "$0") $1" >> runs.txt\n')
    with open(os.path.join(cwd, "container"), "wb") as f:
        f.write(bytes(range(32)))
    sh("mkfifo in.fifo out.fifo", cwd)
    reply = []
    reader = threading.Thread(target=lambda: reply.append(open(os.path.join(cwd, "out.fifo")).read()), daemon=True)
    reader.start()
    out = play("""
DebugPrint(PathPart("work:dir/file.txt"), "[" .. PathPart("file.txt") .. "]", FilePart("work:dir/file.txt"))
DebugPrint(FullPath("work:", "a"), FullPath("dir", "a"), FullPath("dir/", "a"))
DebugPrint(MatchPattern("ReadMe.TXT", "#?.txt"), MatchPattern("b1", "(a|b)#?"), MatchPattern("x.bak", "~(#?.bak)"), MatchPattern("x.c", "~(#?.bak)"))
DebugPrint(Exists("none"), FileSize("none"), FileSize("container"), IsDirectory("."))
DebugPrint(GetVolumeInfo(".", #FREESPACE), GetVolumeInfo(".", #USEDSPACE), GetVolumeName("."))
Local here = GetCurrentDirectory()
ExitOnError(False)
ChangeDirectory("missing")
DebugPrint(GetLastError(), GetCurrentDirectory() == here)
ExitOnError(True)
Execute("touch made")
DebugPrint(Exists("made"))
Run("dd if=in.fifo of=out.fifo status=none")
Execute("sh -c \\"echo through the child > in.fifo\\"")
Execute("prog.sh first")
Execute("prog.sh second")
Local t1, t2 = GetTempFileName(), GetTempFileName()
DebugPrint(t1 <> t2, Exists(t1), PathPart(t1) == GetVolumeName("T:") .. "/")
Local v = DefineVirtualFile("container", 10, 5, "x.bin")
OpenFile(2, v)
DebugPrint(ReadChr(2), ReadChr(2), FileLength(2), FilePart(v))
CloseFile(2)
Local linked = GetFileAttributes("prog.sh")
DebugPrint(linked.flags, linked.time, linked.size)
CopyFile("prog.sh", "fromlink")
""", cwd, linked=["prog.sh"])
    reader.join(60)
    check("path parts", out[0:2], ["work:dir/ [] file.txt", "work:a dir/a dir/a"])
    check("patterns", out[2], "1 1 0 1")
    check("existence", out[3], "0 -1 32 1")
    vfs = os.statvfs(cwd)
    free, used = (int(x) for x in out[4].split()[:2])
    expected_free, expected_used = vfs.f_bavail * vfs.f_frsize, (vfs.f_blocks - vfs.f_bfree) * vfs.f_frsize
    # Other tests write to the same volume meanwhile: a margin of the volume's size, not of what is free, which
    # on a nearly full volume is too little to hold their files.
    margin = vfs.f_blocks * vfs.f_frsize / 100 + (16 << 20)
    if abs(free - expected_free) > margin or abs(used - expected_used) > margin:
        failures.append("volume info %s against free %d used %d" % (out[4], expected_free, expected_used))
    check("volume name", out[4].split()[2], os.path.realpath(cwd))
    check("failed ChangeDirectory", out[5], "1043 1")
    check("Execute waits", out[6], "1")
    check("Run does not wait", reply, ["through the child\n"])
    check("temporary names", out[7], "1 1 1")
    check("virtual file", out[8], "10 11 5 x.bin")
    script = open(os.path.join(cwd, "prog.sh"), "rb").read()
    check("linked file attributes", out[9], "15 16-Sep-1982 00:00:00 %d" % len(script))
    check("copy of a linked file", open(os.path.join(cwd, "fromlink/prog.sh"), "rb").read(), script)
    runs = open(os.path.join(cwd, "runs.txt")).read().split("\n")
    paths = [line.split(" ")[0] for line in runs if line]
    check("linked program extracted once", (len(set(paths)), [line.split(" ")[1:] for line in runs if line]),
          (1, [["700", "first"], ["700", "second"]]))
    check("temporary files gone after exit", (os.listdir(TMPDIR), os.path.exists(paths[0]) if paths else None),
          ([], False))
    run_errors(cwd, [
        ("missing program", 'Execute("no-such-program-here x")', "Cannot open no-such-program-here !"),
        ("unclosed quote", 'Execute("\\"prog arg")', WRONG_USAGE),
        ("empty path", 'Exists("")', WRONG_USAGE),
        ("IsDirectory of nothing", 'IsDirectory("none")', "Error locking none!"),
        ("PathPart of a linked name", 'PathPart(":::chunk0:1*a/b")', WRONG_USAGE),
        ("empty virtual file", 'DefineVirtualFile("container", 0, 0, "x")', WRONG_USAGE),
    ])


TESTS = (test_listing, test_copy_and_delete, test_protection, test_attributes, test_paths_and_programs)
chosen = [t for t in TESTS if len(sys.argv) < 4 or t.__name__ == "test_" + sys.argv[3]]
if not chosen:
    failures.append("no test group named %r" % sys.argv[3])
for test in chosen:
    try:
        test()
    except Exception as error:  # a failed step must not hide the others
        failures.append("%s: %r" % (test.__name__, error))
subprocess.run(["rm", "-rf", SCRATCH])
print("%d player runs" % run_count)
for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
