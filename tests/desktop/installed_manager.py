# The build's installed manager on a private desktop: its Config.ini and
# Language.ini pointed at a CSPName and a key store of the test's own
# (restored afterwards), the real daemon on a simulated USB bus, one virtual
# key with a signature and an exchange certificate, and manager processes
# whose output can be waited for.
import glob
import hashlib
import os
import re
import subprocess

from desktop_session import wait_until

SERIAL = "DESK1"
PIN = "12345678"


def set_ini(path, section, key, value):
    """Sets key=value in [section], adding what is missing."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    out, current, done = [], None, False
    for line in lines:
        header = re.match(r"\s*\[(.*)\]\s*$", line)
        if header:
            if current == section and not done:
                out.append(key + "=" + value)
                done = True
            current = header.group(1)
        elif current == section and not done and line.split("=", 1)[0].strip() == key:
            out.append(key + "=" + value)
            done = True
            continue
        out.append(line)
    if not done:
        if current != section:
            out.append("[" + section + "]")
        out.append(key + "=" + value)
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out))


class ManagerProcess:
    def __init__(self, session, name, proc):
        self.session, self.name, self.proc = session, name, proc
        self.seen = 0

    def output(self):
        return self.session.log(self.name)

    def wait_for(self, text, timeout=30):
        """Whether text comes after what the last wait found; moves past it."""
        def found():
            at = self.output().find(text, self.seen)
            return at + len(text) if at >= 0 else None
        end = wait_until(lambda: found() or self.proc.poll() is not None, timeout)
        at = found()
        if at:
            self.seen = at
        return bool(at and end)


class InstalledManager:
    def __init__(self, session, files_root, language="1033"):
        self.session = session
        self.root = files_root
        self.config = files_root + "ConfigFile/Config.ini"
        self.language_ini = files_root + "Languages/Language.ini"
        self.saved = {}
        for path in (self.config, self.language_ini):
            with open(path, "rb") as f:
                self.saved[path] = f.read()
        self.store = os.path.join(session.dir, "store")
        self.csp = "Desktop Test %d" % os.getpid()
        set_ini(self.config, "ZTTokenInfo", "CSPName", self.csp)
        set_ini(self.config, "VirtualToken", "StorePath", self.store)
        # The daemon must not start managers of its own, nor pages a browser.
        set_ini(self.config, "UkeyManage", "ShowZUdeVovavadErudWhenInsertDev", "0")
        set_ini(self.config, "UkeyManage", "OpenWebPageAtStartup", "0")
        self.set_language(language)
        session.env["XDG_DATA_HOME"] = os.path.join(session.dir, "data")
        self.count = 0

    def set_language(self, language):
        set_ini(self.language_ini, "LanguageDefaultSetting", "language", language)

    def tool(self, *args):
        return subprocess.run([self.root + "bin/tarnvkey", "--store", self.store] + list(args), env=self.session.env,
                              check=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT).stdout.decode()

    def make_key(self, cert_dir):
        self.tool("create", SERIAL, "--label", "Desk key", "--pin", PIN, "--pin-changed")
        self.tool("import", SERIAL, cert_dir + "/rsa2048.der", "--container", "c1", "--type", "rsa", "--usage", "sign")
        self.tool("import", SERIAL, cert_dir + "/rsa1024.der", "--container", "c1", "--type", "rsa", "--usage", "exch")

    def registry_path(self):
        simple = "".join(c for c in self.csp.upper() if c not in " .")
        return "/dev/shm/" + simple + "P11X64"

    def start_daemon(self):
        """The daemon on a simulated USB bus, with no key plugged yet, so it starts no manager."""
        self.session.start("daemon", [self.root + "bin/tarnvkey", "--store", self.store, "run-daemon"],
                           env={"ASAN_OPTIONS": "detect_leaks=0"})
        if not wait_until(lambda: os.path.exists(self.registry_path()), 20):
            raise RuntimeError("no slot registry: " + self.session.log("daemon"))

    def start(self, args, env=None):
        self.count += 1
        name = "manager%d" % self.count
        extra = {"QT_QPA_PLATFORM": "xcb", "ASAN_OPTIONS": "detect_leaks=0", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}
        extra.update(env or {})
        proc = self.session.start(name, [self.root + "bin/tarnukey"] + list(args), env=extra)
        return ManagerProcess(self.session, name, proc)

    def pin_is(self, pin):
        """Whether the store's record takes pin as the user PIN (read from the file, not through our code)."""
        with open(os.path.join(self.store, SERIAL + ".vkey")) as f:
            line = next(l for l in f if l.startswith("user-pin "))
        _, iterations, salt, digest = line.split()[:4]
        return hashlib.pbkdf2_hmac("sha256", pin.encode(), bytes.fromhex(salt), int(iterations)).hex() == digest

    def close(self):
        for path, data in self.saved.items():
            with open(path, "wb") as f:
                f.write(data)
        simple = "".join(c for c in self.csp.upper() if c not in " .")
        for path in glob.glob("/dev/shm/" + simple + "*") + glob.glob("/dev/shm/sem." + simple + "*"):
            try:
                os.unlink(path)
            except OSError:
                pass
