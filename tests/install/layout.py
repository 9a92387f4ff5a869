"""The installation tree the build lays out, and checks shared by the install
and package tests. Paths are absolute as installed; a DESTDIR or dpkg root
goes in front of them."""
import argparse
import os
import stat
import subprocess

PRODUCT = "product"
VIRTUAL_TOKEN = "virtualtoken"
USER_CONFIG = "userconfig"  # made on the target, never packed
BRIDGE_TLS = "bridgetls"  # the bridge's TLS pair: made per machine, never packed
METAINFO = "org.zvit.zevudazivud.metainfo.xml"


class Settings:
    def __init__(self, files_root, skf_library, system_root):
        for name, value in (("files root", files_root), ("system root", system_root)):
            if not value.startswith("/") or not value.endswith("/"):
                raise ValueError(f"{name} must be absolute with a final slash: {value!r}")
        self.files_root = files_root
        self.skf_library = skf_library
        self.system_root = system_root

    def program(self, name):
        return self.files_root + "bin/" + name


def product_settings():
    """Where the product's own build (and so its Debian packages) installs."""
    return Settings("/opt/apps/org.zvit.zevudazivud/files/", "/usr/lib/libtarnZVITSKF.so", "/")


def parse_args(*extra):
    """The options both install tests take from CMake, plus extra required
    ones; returns (args with .build absolute and .settings, unittest argv)."""
    parser = argparse.ArgumentParser()
    for name in ("--build", "--source", "--files-root", "--skf-library", "--system-root") + extra:
        parser.add_argument(name, required=True)
    args, rest = parser.parse_known_args()
    args.build = os.path.abspath(args.build)
    args.settings = Settings(args.files_root, args.skf_library, args.system_root)
    return args, rest


def expected_files(s):
    """Every file of a complete installation and the component it belongs to."""
    r = s.files_root
    files = {}
    for name in ("tarnukey", "tarndaemon", "runukey.sh"):
        files[r + "bin/" + name] = PRODUCT
    files[r + "bin/tarnvkey"] = VIRTUAL_TOKEN
    for lib in ("libZTUtil.so", "libZTSoftAlg.so", "libZTTokenKernel.so", "libZTUIExtend.so"):
        files[r + "Librarys/" + lib] = VIRTUAL_TOKEN
    files[s.skf_library] = VIRTUAL_TOKEN
    for name in ("Language.ini", "2052.qm", "1033.qm", "1028.qm"):
        files[r + "Languages/" + name] = PRODUCT
    files[r + "ConfigFile/Config.ini.default"] = PRODUCT
    files[r + "ConfigFile/Config.ini"] = USER_CONFIG
    for name in ("dialog.jpg", "notifyIcon.png"):
        files[r + "Resources/" + name] = PRODUCT
    for name in ("server.crt", "server.key"):
        files[r + "cert/" + name] = BRIDGE_TLS
    files[s.system_root + "usr/share/applications/tarnukey.desktop"] = PRODUCT
    files[s.system_root + "etc/xdg/autostart/tarndaemon.desktop"] = PRODUCT
    files[s.system_root + "usr/share/metainfo/" + METAINFO] = PRODUCT
    files[s.system_root + "usr/sbin/tarn-browser-policy"] = PRODUCT
    files[s.system_root + "usr/bin/tarnvkey"] = VIRTUAL_TOKEN  # a link to the program
    for page, component in (("tarnukey.1", PRODUCT), ("tarndaemon.1", PRODUCT), ("tarnvkey.1", VIRTUAL_TOKEN),
                            ("tarn-browser-policy.8", PRODUCT)):
        files[s.system_root + f"usr/share/man/man{page[-1]}/{page}"] = component
    return files


# The files tarn-browser-policy writes, below the system root.
BROWSER_POLICY_FILES = ("etc/chromium/policies/managed/tarn-ukey.json",
                        "etc/opt/chrome/policies/managed/tarn-ukey.json",
                        "etc/opt/edge/policies/managed/tarn-ukey.json",
                        "etc/firefox-esr/tarn-ukey.js")


def files_of(expected, *components):
    return {path for path, component in expected.items() if component in components}


def under(root, path):
    """path (absolute as installed) inside root."""
    return os.path.join(root, path.lstrip("/"))


def tree_files(root, skip=()):
    """Absolute-as-installed paths of every non-directory below root."""
    found = set()
    for dirpath, dirnames, filenames in os.walk(root):
        rel = "/" + os.path.relpath(dirpath, root)
        rel = "/" if rel == "/." else rel
        dirnames[:] = [d for d in dirnames if os.path.join(rel, d) not in skip]
        for name in filenames + [d for d in dirnames if os.path.islink(os.path.join(dirpath, d))]:
            found.add(os.path.normpath(os.path.join(rel, name)))
    return found


def describe_difference(found, expected):
    """Empty when equal, else a readable list of what is missing and extra."""
    lines = []
    for path in sorted(expected - found):
        lines.append("missing: " + path)
    for path in sorted(found - expected):
        lines.append("unexpected: " + path)
    return "\n".join(lines)


def elf_type(path):
    """'exec', 'shared' or None; position-independent programs count as exec
    when they carry an interpreter."""
    with open(path, "rb") as f:
        head = f.read(64)
    if len(head) < 20 or head[:4] != b"\x7fELF":
        return None
    e_type = int.from_bytes(head[16:18], "little")
    if e_type == 2:
        return "exec"
    if e_type == 3:
        out = subprocess.run(["readelf", "-lW", path], capture_output=True, text=True).stdout
        return "exec" if "INTERP" in out else "shared"
    return None


def unresolved_libraries(path, extra_env=None):
    """Names ldd cannot resolve for an installed ELF file."""
    env = dict(os.environ)
    env.pop("LD_LIBRARY_PATH", None)
    env.pop("LD_PRELOAD", None)
    if extra_env:
        env.update(extra_env)
    out = subprocess.run(["ldd", path], capture_output=True, text=True, env=env)
    return [line.split()[0] for line in out.stdout.splitlines() if "not found" in line]


def mode_problems(path, executable):
    st = os.lstat(path)
    problems = []
    if stat.S_ISLNK(st.st_mode):
        return [f"{path} is a symbolic link"]
    if st.st_mode & (stat.S_IWGRP | stat.S_IWOTH):
        problems.append(f"{path} is writable by others ({oct(st.st_mode & 0o777)})")
    if not st.st_mode & stat.S_IROTH:
        problems.append(f"{path} is not readable by every user ({oct(st.st_mode & 0o777)})")
    is_exec = bool(st.st_mode & stat.S_IXOTH)
    if executable is None:  # shared libraries: either way
        return problems
    if executable and not is_exec:
        problems.append(f"{path} cannot be run by every user ({oct(st.st_mode & 0o777)})")
    if not executable and st.st_mode & 0o111:
        problems.append(f"{path} is executable but is data ({oct(st.st_mode & 0o777)})")
    return problems


def read_desktop_entry(path):
    entry = {}
    section = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                section = line
                continue
            if section == "[Desktop Entry]" and "=" in line:
                key, value = line.split("=", 1)
                entry[key.strip()] = value.strip()
    return entry


def ini_value(path, section, key):
    current = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = line[1:-1]
            elif current == section and "=" in line and not line.startswith(";"):
                k, v = line.split("=", 1)
                if k.strip() == key:
                    return v.strip()
    return None
