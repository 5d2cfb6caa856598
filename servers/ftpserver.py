#!/usr/bin/python3
"""Starts one real FTP server on loopback for the interoperability tests and the demo.

    ftpserver.py start KIND [--port N] [--pasv MIN-MAX] [--timeout S] [--no-anonymous]
                            [--foreign-data]
                            [--stop-on-eof | --daemon --pidfile FILE]
    ftpserver.py stop (--pidfile FILE | --folder DIR)
    ftpserver.py check KIND

KIND is vsftpd, proftpd, pure-ftpd or pyftpdlib. Each instance gets a private folder under
the temporary directory with its configuration, logs and the sample tree it serves; the
folder is removed when the instance stops. Once the server has answered a greeting, one
JSON line goes to standard output:

    {"kind": ..., "host": "127.0.0.1", "port": N, "user": ..., "password": ...,
     "root": <sample tree on disk, seen as "/" by the user>, "folder": ..., "anonymous": ...,
     "pasv": [MIN, MAX], "pid": <this launcher>, "startup_ms": ...}

In the foreground the launcher stays until SIGTERM/SIGINT/SIGHUP, until the server exits,
or, with --stop-on-eof, until its standard input reaches end of file (so a test that dies
takes its server with it). With --daemon it detaches after the ready line and `stop` ends
it. Folders left by a launcher that was killed outright are swept at the next start.
Run it with /usr/bin/python3, Debian's interpreter, which has pyftpdlib.
"""

import argparse
import calendar
import ctypes
import fcntl
import json
import os
import random
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HOST = "127.0.0.1"
ACCOUNT = "tarvoftp"
PASSWORD = "tarvo-pass"
# The account's home only has to exist; each instance chroots it into its own tree.
HOME = "/var/lib/tarvoftp"
KINDS = ("vsftpd", "proftpd", "pure-ftpd", "pyftpdlib")
# One passive range per kind, so instances of different kinds running side by side do not
# compete for the same ports.
PASV_RANGES = {"vsftpd": (40000, 40099), "proftpd": (40100, 40199),
               "pure-ftpd": (40200, 40299), "pyftpdlib": (40300, 40399)}
SERVERS_PREFIX = os.environ.get("TVFTP_SERVERS_PREFIX", "/opt/tarvoftp-servers")
HERE = os.path.dirname(os.path.abspath(__file__))
INSTALL_HINT = "run servers/install-servers.sh as root"
# Every file of the sample tree carries this modification time (2021-06-15 12:34:56 UTC),
# so listings are the same on every run.
SAMPLE_MTIME = calendar.timegm((2021, 6, 15, 12, 34, 56))

PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36


class StartError(Exception):
    pass


class StopRequested(Exception):
    pass


# ---------------------------------------------------------------------------------------
# Finding the servers
# ---------------------------------------------------------------------------------------

def find_program(kind, name):
    unpacked = os.path.join(SERVERS_PREFIX, kind, "usr", "sbin", name)
    if os.access(unpacked, os.X_OK):
        return unpacked
    unpacked = os.path.join(SERVERS_PREFIX, kind, "usr", "bin", name)
    if os.access(unpacked, os.X_OK):
        return unpacked
    path = os.environ.get("PATH", "") + ":/usr/local/sbin:/usr/sbin:/sbin"
    return shutil.which(name, path=path)


def unavailable_reason(kind):
    """Why KIND cannot run here, or None when it can."""
    if kind not in KINDS:
        return "unknown server kind '%s' (known: %s)" % (kind, ", ".join(KINDS))
    if kind == "pyftpdlib":
        try:
            import pyftpdlib  # noqa: F401  (only whether it imports)
        except ImportError:
            return "pyftpdlib is not installed for %s (%s)" % (sys.executable, INSTALL_HINT)
        return None
    programs = {"vsftpd": ["vsftpd"], "proftpd": ["proftpd"],
                "pure-ftpd": ["pure-ftpd", "pure-pw"]}[kind]
    for name in programs:
        if find_program(kind, name) is None:
            return "%s is not installed (%s)" % (name, INSTALL_HINT)
    # The real daemons chroot and switch users: they need root.
    if os.geteuid() != 0:
        return "%s needs root to chroot and switch to the test account" % kind
    if kind == "vsftpd" and not os.path.exists("/etc/pam.d/vsftpd"):
        return "/etc/pam.d/vsftpd is missing (%s)" % INSTALL_HINT
    return None


# ---------------------------------------------------------------------------------------
# The test account
# ---------------------------------------------------------------------------------------

def password_hash(password):
    salt = "".join(random.choice("abcdefghijklmnopqrstuvwxyz0123456789./") for _ in range(16))
    result = subprocess.run(["openssl", "passwd", "-6", "-salt", salt, password],
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise StartError("openssl passwd failed: " + result.stderr.strip())
    return result.stdout.strip()


def shadow_matches(name, password):
    try:
        with open("/etc/shadow") as shadow:
            for line in shadow:
                fields = line.rstrip("\n").split(":")
                if fields[0] != name:
                    continue
                stored = fields[1]
                parts = stored.split("$")
                if len(parts) < 4:
                    return False
                salt = parts[-2]
                result = subprocess.run(["openssl", "passwd", "-" + parts[1], "-salt", salt,
                                         password], capture_output=True, text=True)
                return result.returncode == 0 and result.stdout.strip() == stored
    except OSError:
        pass
    return False


def ensure_account():
    """Returns (uid, gid) of the test account, creating it (as root) when it is missing."""
    import pwd
    try:
        entry = pwd.getpwnam(ACCOUNT)
        if os.geteuid() != 0 or shadow_matches(ACCOUNT, PASSWORD):
            return entry.pw_uid, entry.pw_gid
    except KeyError:
        if os.geteuid() != 0:
            raise StartError("the account '%s' does not exist (%s)" % (ACCOUNT, INSTALL_HINT))
    # Parallel launchers would fight over /etc/passwd and /etc/shadow: one at a time.
    with open(os.path.join(tempfile.gettempdir(), "tarvoftp-account.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            pwd.getpwnam(ACCOUNT)
        except KeyError:
            subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", HOME,
                            "--shell", "/bin/sh", ACCOUNT], check=True, capture_output=True)
        if not shadow_matches(ACCOUNT, PASSWORD):
            subprocess.run(["chpasswd"], input="%s:%s\n" % (ACCOUNT, PASSWORD), text=True,
                           check=True, capture_output=True)
    entry = pwd.getpwnam(ACCOUNT)
    return entry.pw_uid, entry.pw_gid


def ensure_home():
    """vsftpd enters the account's home before the instance's tree: it must exist."""
    import pwd
    home = pwd.getpwnam(ACCOUNT).pw_dir
    if os.path.isdir(home):
        return
    if os.geteuid() != 0:
        raise StartError("the home %s of '%s' does not exist" % (home, ACCOUNT))
    with open(os.path.join(tempfile.gettempdir(), "tarvoftp-account.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if pwd.getpwnam(ACCOUNT).pw_dir != HOME:
            result = subprocess.run(["usermod", "--home", HOME, ACCOUNT], capture_output=True,
                                    text=True)
            if result.returncode != 0:
                raise StartError("cannot give '%s' the home %s: %s"
                                 % (ACCOUNT, HOME, result.stderr.strip()))
        os.makedirs(HOME, 0o755, exist_ok=True)


def system_account(names):
    """(name, uid, gid) of the first existing account of NAMES."""
    import pwd
    for name in names:
        try:
            entry = pwd.getpwnam(name)
            return name, entry.pw_uid, entry.pw_gid
        except KeyError:
            continue
    raise StartError("none of the accounts %s exists" % ", ".join(names))


def group_name(gid):
    import grp
    try:
        return grp.getgrgid(gid).gr_name
    except KeyError:
        return str(gid)


# ---------------------------------------------------------------------------------------
# The sample tree
# ---------------------------------------------------------------------------------------

LARGE_SIZE = 1 << 20


def sample_files():
    """Relative path (bytes) -> contents of every regular file of the sample tree."""
    # A fixed seed keeps the large file the same on every run; it repeats nowhere, so a
    # block that is lost, doubled or reordered shows.
    large = random.Random(20210615).randbytes(LARGE_SIZE)
    return {
        b"crlf.txt": b"line one\r\nline two\r\nline three\r\n",
        b"lf.txt": b"line one\nline two\nline three\n",
        b"binary.bin": bytes(range(256)) * 4,
        b"large.bin": large,
        b"file with blanks.txt": b"a name with blanks\n",
        b"colon:name.txt": b"a name with a colon\n",
        b"-dash-leading.txt": b"a name with a leading dash\n",
        b"c:d.txt": b"a colon in a short name\n",
        b"a b.txt": b"a blank in a short name\n",
        "grüße-€.txt".encode("utf-8"): b"a UTF-8 name\n",
        b"caf\xe9-latin1.txt": b"a Latin-1 name\n",
        b"dir/alpha.txt": b"alpha\n",
        b"dir/beta.txt": b"beta\n",
        b"dir/sub/deep.txt": b"deep\n",
        b"readonly/locked.txt": b"this folder refuses changes\n",
    }


def build_tree(tree, uid, gid):
    os.mkdir(tree, 0o755)
    for directory in (b"dir", b"dir/sub", b"empty", b"upload", b"readonly", b"my dir", b"-dash"):
        os.mkdir(os.path.join(os.fsencode(tree), directory), 0o755)
    for relative, contents in sample_files().items():
        with open(os.path.join(os.fsencode(tree), relative), "wb") as out:
            out.write(contents)
    base = os.fsencode(tree)
    # Relative targets, so that the links resolve inside a chroot too.
    os.symlink(b"dir", os.path.join(base, b"link-to-dir"))
    os.symlink(b"lf.txt", os.path.join(base, b"link-to-file"))
    os.symlink(b"my dir", os.path.join(base, b"link-to-my-dir"))
    for path, dirs, files in os.walk(base, topdown=False):
        for name in files + dirs:
            full = os.path.join(path, name)
            os.lchown(full, uid, gid)
            if not os.path.islink(full):
                os.chmod(full, 0o755 if os.path.isdir(full) else 0o644)
            os.utime(full, (SAMPLE_MTIME, SAMPLE_MTIME), follow_symlinks=False)
    os.chmod(os.path.join(base, b"readonly/locked.txt"), 0o444)
    os.chmod(os.path.join(base, b"readonly"), 0o555)
    os.lchown(base, uid, gid)
    os.utime(base, (SAMPLE_MTIME, SAMPLE_MTIME))


# ---------------------------------------------------------------------------------------
# Server configurations
# ---------------------------------------------------------------------------------------

def fill_template(name, values, destination):
    with open(os.path.join(HERE, name)) as template:
        text = template.read()
    for key, value in values.items():
        text = text.replace("@%s@" % key, str(value))
    with open(destination, "w") as out:
        out.write(text)


class Instance:
    """One prepared server: its folder, account and the command that runs it."""

    def __init__(self, kind, folder, port, pasv, anonymous, foreign=False):
        # Data connections to and from addresses other than the client's (a copy between
        # two servers), where the kind can be told to allow them.
        self.foreign = foreign
        self.kind = kind
        self.folder = folder
        self.tree = os.path.join(folder, "tree")
        self.port = port
        self.pasv = pasv
        self.anonymous = anonymous
        self.log = os.path.join(folder, "server.log")
        self.command = None
        self.uid = os.geteuid()
        self.gid = os.getegid()

    def prepare(self):
        if self.kind != "pyftpdlib" or os.geteuid() == 0:
            self.uid, self.gid = ensure_account()
        build_tree(self.tree, self.uid, self.gid)
        getattr(self, "prepare_" + self.kind.replace("-", "_"))()

    def common_values(self):
        return {"HOST": HOST, "PORT": self.port, "FOLDER": self.folder, "TREE": self.tree,
                "PASV_MIN": self.pasv[0], "PASV_MAX": self.pasv[1]}

    def prepare_vsftpd(self):
        ensure_home()
        empty = os.path.join(self.folder, "empty")
        os.mkdir(empty, 0o555)
        anon_name = system_account(["ftp", "nobody"])[0]
        values = self.common_values()
        values.update({"ANONYMOUS": "YES" if self.anonymous else "NO",
                       "ANON_ACCOUNT": anon_name,
                       "NOPRIV_ACCOUNT": system_account(["nobody"])[0]})
        config = os.path.join(self.folder, "vsftpd.conf")
        fill_template("vsftpd.conf.in", values, config)
        if self.foreign:
            with open(config, "a") as out:
                out.write("pasv_promiscuous=YES\nport_promiscuous=YES\n")
        self.command = [find_program("vsftpd", "vsftpd"), config]

    def prepare_proftpd(self):
        anon_name, anon_uid, anon_gid = system_account(["ftp", "nobody"])
        nopriv_name, nopriv_uid, nopriv_gid = system_account(["nobody"])
        with open(os.path.join(self.folder, "proftpd.passwd"), "w") as passwd:
            passwd.write("%s:%s:%d:%d::%s:/bin/sh\n"
                         % (ACCOUNT, password_hash(PASSWORD), self.uid, self.gid, self.tree))
            passwd.write("%s:*:%d:%d::%s:/bin/false\n" % (anon_name, anon_uid, anon_gid, self.tree))
            if nopriv_name != anon_name:
                passwd.write("%s:*:%d:%d::/nonexistent:/bin/false\n"
                             % (nopriv_name, nopriv_uid, nopriv_gid))
        with open(os.path.join(self.folder, "proftpd.group"), "w") as groups:
            seen = set()
            for gid in (self.gid, anon_gid, nopriv_gid):
                if gid not in seen:
                    seen.add(gid)
                    groups.write("%s:x:%d:\n" % (group_name(gid), gid))
        # proftpd refuses password files that others may write.
        for name in ("proftpd.passwd", "proftpd.group"):
            os.chmod(os.path.join(self.folder, name), 0o600)
        values = self.common_values()
        values.update({"ANON_ACCOUNT": anon_name, "ANON_GROUP": group_name(anon_gid),
                       "NOPRIV_ACCOUNT": nopriv_name, "NOPRIV_GROUP": group_name(nopriv_gid)})
        config = os.path.join(self.folder, "proftpd.conf")
        fill_template("proftpd.conf.in", values, config)
        with open(config) as text:
            lines = text.read().splitlines(keepends=True)
        kept, inside = [], False
        for line in lines:
            if line.strip() == "@ANONYMOUS_BEGIN@":
                inside = True
            elif line.strip() == "@ANONYMOUS_END@":
                inside = False
            elif not inside or self.anonymous:
                kept.append(line)
        with open(config, "w") as out:
            out.writelines(kept)
        self.command = [find_program("proftpd", "proftpd"), "--nodaemon", "--config", config]

    def prepare_pure_ftpd(self):
        # pure-ftpd's anonymous account is the system "ftp" account with its fixed home, so
        # instances serve only the virtual test account.
        self.anonymous = False
        passwd = os.path.join(self.folder, "pureftpd.passwd")
        pdb = os.path.join(self.folder, "pureftpd.pdb")
        # pure-pw would hash with argon2id at a cost that takes seconds per logon here; a
        # SHA-512 crypt hash, which pure-ftpd checks with crypt(), logs on at once.
        with open(passwd, "w") as out:
            out.write("%s:%s:%d:%d::%s/./::::::::::::\n"
                      % (ACCOUNT, password_hash(PASSWORD), self.uid, self.gid, self.tree))
        os.chmod(passwd, 0o600)
        result = subprocess.run([find_program("pure-ftpd", "pure-pw"), "mkdb", pdb, "-f", passwd],
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise StartError("pure-pw failed: " + (result.stderr or result.stdout).strip())
        self.command = [find_program("pure-ftpd", "pure-ftpd"),
                        "--bind", "%s,%d" % (HOST, self.port), "--ipv4only",
                        "--login", "puredb:" + pdb, "--noanonymous", "--chrooteveryone",
                        "--dontresolve", "--minuid", "1",
                        "--passiveportrange", "%d:%d" % self.pasv,
                        "--pidfile", os.path.join(self.folder, "pure-ftpd.pid"),
                        "--altlog", "clf:" + os.path.join(self.folder, "xferlog"),
                        "--syslogfacility", "none"]

    def prepare_pyftpdlib(self):
        settings = {"host": HOST, "port": self.port, "tree": self.tree, "user": ACCOUNT,
                    "password": PASSWORD, "pasv": list(self.pasv),
                    "anonymous": self.anonymous, "uid": self.uid, "gid": self.gid,
                    "log": os.path.join(self.folder, "pyftpdlib.log"),
                    "foreign": self.foreign}
        path = os.path.join(self.folder, "pyftpdlib.json")
        with open(path, "w") as out:
            json.dump(settings, out)
        self.command = ["/usr/bin/python3" if os.path.exists("/usr/bin/python3")
                        else sys.executable, os.path.abspath(__file__), "serve-pyftpdlib", path]


def serve_pyftpdlib(settings_path):
    """The pyftpdlib server process itself (internal subcommand)."""
    with open(settings_path) as settings_file:
        settings = json.load(settings_file)
    import logging
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    logging.basicConfig(filename=settings["log"], level=logging.INFO)
    authorizer = DummyAuthorizer()
    authorizer.add_user(settings["user"], settings["password"], settings["tree"],
                        perm="elradfmwMT")
    # The server may run as root; the permission table makes the read-only folder refuse
    # changes as the file system does for the other servers.
    authorizer.override_perm(settings["user"], os.path.join(settings["tree"], "readonly"),
                             perm="elr", recursive=True)
    if settings["anonymous"]:
        authorizer.add_anonymous(settings["tree"], perm="elr")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = range(settings["pasv"][0], settings["pasv"][1] + 1)
    handler.banner = "pyftpdlib ready."
    handler.permit_foreign_addresses = settings.get("foreign", False)
    # Names travel as the bytes on disk: UTF-8 where they are, Latin-1 bytes untouched.
    handler.unicode_errors = "surrogateescape"
    handler.timeout = 120
    # A refused password is answered at once, as the other instances do.
    handler.auth_failed_timeout = 0
    server = FTPServer((settings["host"], settings["port"]), handler)
    if os.geteuid() == 0:
        # Files the user creates belong to the test account, as with the other servers.
        os.setgroups([])
        os.setgid(settings["gid"])
        os.setuid(settings["uid"])
    server.serve_forever(handle_exit=False)


# ---------------------------------------------------------------------------------------
# Running and stopping
# ---------------------------------------------------------------------------------------

def free_port():
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        probe.bind((HOST, 0))
        return probe.getsockname()[1]
    finally:
        probe.close()


def port_note(port):
    """Names the usual cause of an early exit, which some servers do not report."""
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        probe.bind((HOST, port))
        return ""
    except OSError as failure:
        return " (port %d: %s)" % (port, failure.strerror)
    finally:
        probe.close()


def libc_prctl(option, value):
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(option, ctypes.c_ulong(value), 0, 0, 0)
    except OSError:
        pass


def die_with_parent():
    libc_prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def descendants(root_pid):
    """Every process below ROOT_PID."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(entry))
        except (OSError, IndexError, ValueError):
            continue
    found, pending = [], [root_pid]
    while pending:
        for child in children.get(pending.pop(), []):
            found.append(child)
            pending.append(child)
    return found


def running(pid):
    """Whether PID is a live process; a zombie waiting for its reaper counts as ended."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def end_processes(process, grace=3.0):
    """Ends the server and every session process it forked."""
    pids = descendants(os.getpid())
    for pid in pids:
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    deadline = time.monotonic() + grace
    if process is not None:
        try:
            process.wait(timeout=max(0.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            pass
    # Session processes became our children (subreaper): reap them, then kill stragglers.
    while time.monotonic() < deadline:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            break
        if pid == 0:
            time.sleep(0.05)
    for pid in descendants(os.getpid()):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    while True:
        try:
            pid, _ = os.waitpid(-1, 0)
        except ChildProcessError:
            break


def log_tail(instance, limit=1500):
    text = ""
    for name in sorted(os.listdir(instance.folder)):
        if name.endswith(".log"):
            try:
                with open(os.path.join(instance.folder, name), "rb") as log:
                    data = log.read()[-limit:].decode("utf-8", "replace").strip()
            except OSError:
                continue
            if data:
                text += "\n--- %s:\n%s" % (name, data)
    return text


def await_greeting(instance, process, deadline):
    """Waits until the server answers a connection with 220; False if it exited first."""
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return False
        received = b""
        try:
            with socket.create_connection((HOST, instance.port), timeout=1.0) as probe:
                while True:
                    chunk = probe.recv(512)
                    if not chunk:
                        break
                    received += chunk
                    # Only complete lines count; a multi-line greeting ends with "220 ".
                    for line in received.split(b"\n")[:-1]:
                        if line.startswith(b"220 "):
                            probe.sendall(b"QUIT\r\n")
                            return True
                        if line[:1] in (b"4", b"5") and line[3:4] == b" ":
                            raise StartError("the server refused the connection: "
                                             + line.decode("latin-1").strip())
        except OSError:
            pass
        time.sleep(0.05)
    raise StartError("no 220 greeting before the start time ran out")


def start_instance(args):
    """Prepares and runs the server; returns (instance, process). Retries on a port race."""
    reason = unavailable_reason(args.kind)
    if reason:
        raise StartError(reason)
    pasv = PASV_RANGES[args.kind]
    if args.pasv:
        low, high = args.pasv.split("-")
        pasv = (int(low), int(high))
    sweep_stale_folders()
    deadline = time.monotonic() + args.timeout
    attempts = 1 if args.port else 3
    last_error = None
    for _ in range(attempts):
        folder = tempfile.mkdtemp(prefix="tarvoftp-%s-" % args.kind)
        os.chmod(folder, 0o755)
        with open(os.path.join(folder, "launcher.pid"), "w") as marker:
            marker.write("%d\n" % os.getpid())
        instance = Instance(args.kind, folder, args.port or free_port(), pasv,
                            not args.no_anonymous, args.foreign_data)
        process = None
        try:
            instance.prepare()
            with open(instance.log, "wb") as log:
                process = subprocess.Popen(instance.command, stdin=subprocess.DEVNULL,
                                           stdout=log, stderr=subprocess.STDOUT,
                                           preexec_fn=die_with_parent, cwd=folder)
            if await_greeting(instance, process, deadline):
                return instance, process
            last_error = StartError("%s exited with status %s during start%s"
                                    % (args.kind, process.returncode, port_note(instance.port))
                                    + log_tail(instance))
        except StartError as failure:
            last_error = StartError(str(failure) + log_tail(instance))
        except (OSError, subprocess.SubprocessError) as failure:
            last_error = StartError("%s: %s" % (args.kind, failure))
        except BaseException:
            # A stop asked for during the start: leave nothing behind.
            end_processes(process)
            remove_folder(instance)
            raise
        end_processes(process)
        remove_folder(instance)
        if time.monotonic() >= deadline:
            break
    raise last_error


def sweep_stale_folders():
    """Removes instance folders whose launcher was killed before it could tidy up."""
    for name in os.listdir(tempfile.gettempdir()):
        if not name.startswith("tarvoftp-") or name == "tarvoftp-account.lock":
            continue
        folder = os.path.join(tempfile.gettempdir(), name)
        try:
            with open(os.path.join(folder, "launcher.pid")) as marker:
                pid = int(marker.read().split()[0])
            with open("/proc/%d/cmdline" % pid, "rb") as cmdline:
                if b"ftpserver.py" in cmdline.read() and running(pid):
                    continue
        except (OSError, ValueError, IndexError):
            # A folder without a marker may be one being created right now.
            if not os.path.exists(os.path.join(folder, "launcher.pid")):
                continue
        remove_folder(Instance("", folder, 0, (0, 0), False))


def remove_folder(instance):
    # The read-only folder must become writable again before its contents can go.
    for path, dirs, _ in os.walk(instance.folder):
        for name in dirs:
            full = os.path.join(path, name)
            if not os.path.islink(full):
                try:
                    os.chmod(full, 0o755)
                except OSError:
                    pass
    shutil.rmtree(instance.folder, ignore_errors=True)


def supervise(instance, process, watch_stdin):
    """Waits until a stop is asked for or the server ends; returns the exit status."""
    server_end = None
    try:
        server_end = os.pidfd_open(process.pid)
    except (AttributeError, OSError):
        pass
    watched = [server_end] if server_end is not None else []
    if watch_stdin:
        watched.append(sys.stdin.fileno())
    status = 0
    try:
        while True:
            # Without a pidfd the server's end is noticed at the next timeout.
            ready, _, _ = select.select(watched, [], [], None if server_end is not None else 1.0)
            if process.poll() is not None:
                sys.stderr.write("ftpserver: %s exited with status %s%s\n"
                                 % (instance.kind, process.returncode, log_tail(instance)))
                status = 1
                break
            if watch_stdin and sys.stdin.fileno() in ready:
                if not os.read(sys.stdin.fileno(), 4096):
                    break
    except StopRequested:
        pass
    finally:
        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(signum, signal.SIG_IGN)
        end_processes(process)
        remove_folder(instance)
        if server_end is not None:
            os.close(server_end)
    return status


def request_stop(signum, frame):
    raise StopRequested()


def ready_line(instance, started):
    return json.dumps({
        "kind": instance.kind, "host": HOST, "port": instance.port, "user": ACCOUNT,
        "password": PASSWORD, "root": instance.tree, "folder": instance.folder,
        "anonymous": instance.anonymous, "pasv": list(instance.pasv), "pid": os.getpid(),
        "startup_ms": int((time.monotonic() - started) * 1000)})


def command_start(args):
    started = time.monotonic()
    if args.daemon:
        if not args.pidfile:
            sys.stderr.write("ftpserver: --daemon needs --pidfile\n")
            return 2
        return start_daemon(args, started)
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, request_stop)
    libc_prctl(PR_SET_CHILD_SUBREAPER, 1)
    try:
        instance, process = start_instance(args)
    except StopRequested:
        return 1
    except StartError as failure:
        sys.stderr.write("ftpserver: %s could not start: %s\n" % (args.kind, failure))
        return 1
    try:
        print(ready_line(instance, started), flush=True)
    except (BrokenPipeError, StopRequested):
        end_processes(process)
        remove_folder(instance)
        return 1
    return supervise(instance, process, args.stop_on_eof)


def start_daemon(args, started):
    reader, writer = os.pipe()
    child = os.fork()
    if child:
        os.close(writer)
        with os.fdopen(reader) as report:
            line = report.readline()
        if not line.startswith("{"):
            os.waitpid(child, 0)
            sys.stderr.write(line)
            return 1
        sys.stdout.write(line)
        return 0
    # The daemon: its own session, nothing inherited from the terminal.
    os.close(reader)
    os.setsid()
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, request_stop)
    libc_prctl(PR_SET_CHILD_SUBREAPER, 1)
    null = os.open(os.devnull, os.O_RDWR)
    os.dup2(null, 0)
    os.dup2(null, 1)
    status = 1
    try:
        instance, process = start_instance(args)
        os.dup2(os.open(os.path.join(instance.folder, "launcher.log"),
                        os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644), 2)
        with open(args.pidfile, "w") as pidfile:
            pidfile.write("%d\n" % os.getpid())
        os.write(writer, (ready_line(instance, started) + "\n").encode())
        os.close(writer)
        writer = None
        status = supervise(instance, process, False)
    except (StartError, StopRequested) as failure:
        if writer is not None:
            os.write(writer, ("ftpserver: %s could not start: %s\n"
                              % (args.kind, failure)).encode())
    finally:
        try:
            with open(args.pidfile) as pidfile:
                if pidfile.read().strip() == str(os.getpid()):
                    os.unlink(args.pidfile)
        except OSError:
            pass
        os._exit(status)


def command_stop(args):
    if args.pidfile:
        try:
            with open(args.pidfile) as pidfile:
                pid = int(pidfile.read().split()[0])
        except (OSError, ValueError, IndexError) as failure:
            sys.stderr.write("ftpserver: no server to stop: %s\n" % failure)
            return 1
        folder = None
    else:
        folder = args.folder
        try:
            with open(os.path.join(folder, "launcher.pid")) as marker:
                pid = int(marker.read().split()[0])
        except (OSError, ValueError, IndexError) as failure:
            sys.stderr.write("ftpserver: no server to stop: %s\n" % failure)
            return 1
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline and running(pid):
        time.sleep(0.05)
    if running(pid):
        # The launcher did not end: end its whole process group, then tidy up after it.
        for victim in descendants(pid) + [pid]:
            try:
                os.kill(victim, signal.SIGKILL)
            except ProcessLookupError:
                pass
    if folder and os.path.isdir(folder):
        remove_folder(Instance("", folder, 0, (0, 0), False))
    if args.pidfile and os.path.exists(args.pidfile):
        os.unlink(args.pidfile)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    start = commands.add_parser("start", help="start one server")
    start.add_argument("kind", choices=KINDS)
    start.add_argument("--port", type=int, default=0, help="control port (default: a free one)")
    start.add_argument("--pasv", help="passive port range MIN-MAX")
    start.add_argument("--timeout", type=float, default=15.0, help="start time limit (s)")
    start.add_argument("--no-anonymous", action="store_true")
    start.add_argument("--foreign-data", action="store_true",
                       help="allow data connections with other addresses (vsftpd, pyftpdlib)")
    start.add_argument("--stop-on-eof", action="store_true",
                       help="stop when standard input reaches end of file")
    start.add_argument("--daemon", action="store_true", help="detach after the ready line")
    start.add_argument("--pidfile", help="pid file of the daemon")
    stop = commands.add_parser("stop", help="stop a server started with --daemon")
    where = stop.add_mutually_exclusive_group(required=True)
    where.add_argument("--pidfile")
    where.add_argument("--folder")
    check = commands.add_parser("check", help="say whether a kind can run here")
    check.add_argument("kind")
    serve = commands.add_parser("serve-pyftpdlib", help=argparse.SUPPRESS)
    serve.add_argument("settings")
    args = parser.parse_args()

    if args.command == "start":
        return command_start(args)
    if args.command == "stop":
        return command_stop(args)
    if args.command == "check":
        reason = unavailable_reason(args.kind)
        print(reason or "available")
        return 1 if reason else 0
    if args.command == "serve-pyftpdlib":
        serve_pyftpdlib(args.settings)
        return 0
    return 2


if __name__ == "__main__":
    sys.exit(main())
