#!/usr/bin/env python3
"""The two Debian packages of this build: built with cpack, then installed,
upgraded, removed and purged by the real dpkg in a throw-away root.

dpkg runs with --root (its own instdir and admindir) and
--force-script-chrootless, so no chroot and no root user are needed; the
maintainer scripts find the root in $DPKG_ROOT. The admindir knows the host's
installed packages that ours depend on, so dpkg's dependency check is real:
a Depends that no installed Debian package satisfies fails the install."""
import glob
import io
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402

ARGS = None
PRODUCT_PKG = "tarn-ukey"
TOKEN_PKG = "tarn-ukey-virtualtoken"
SKIP = 77


def run(cmd, **kw):
    done = subprocess.run(cmd, capture_output=True, text=True, **kw)
    if done.returncode != 0:
        raise AssertionError(f"{' '.join(cmd)} failed ({done.returncode}):\n{done.stdout}\n{done.stderr}")
    return done.stdout


def build_packages(outdir, version):
    os.makedirs(outdir)
    run(["cpack", "-G", "DEB", "--config", os.path.join(ARGS.build, "CPackConfig.cmake"),
         "-B", outdir, "-D", f"CPACK_PACKAGE_VERSION={version}"], cwd=ARGS.build)
    debs = {}
    for deb in glob.glob(os.path.join(outdir, "*.deb")):
        debs[run(["dpkg-deb", "-f", deb, "Package"]).strip()] = deb
    return debs


def control(deb, field):
    return run(["dpkg-deb", "-f", deb, field]).strip()


def relation_names(text):
    names = []
    for alternative in re.split(r"[,|]", text):
        name = alternative.strip().split(" ")[0].split("(")[0].split(":")[0]
        if name:
            names.append(name)
    return names


def control_members(deb):
    """Name (without "./") and mode of each file in the control archive."""
    raw = subprocess.run(["dpkg-deb", "--ctrl-tarfile", deb], capture_output=True, check=True).stdout
    with tarfile.open(fileobj=io.BytesIO(raw)) as tar:
        return {m.name.lstrip("./"): m.mode & 0o7777 for m in tar.getmembers() if m.isfile()}


def deb_files(deb):
    files = set()
    for line in run(["dpkg-deb", "-c", deb]).splitlines():
        if line.startswith("d"):
            continue
        path = line.split(None, 5)[5].split(" -> ")[0]
        files.add(os.path.normpath(path.lstrip(".")))
    return files


class DpkgRoot:
    def __init__(self, path, depended_on):
        self.root = path
        self.admin = os.path.join(path, "var/lib/dpkg")
        for sub in ("info", "updates", "triggers"):
            os.makedirs(os.path.join(self.admin, sub))
        stanzas = []
        for name in sorted(set(depended_on)):
            q = subprocess.run(["dpkg-query", "-s", name], capture_output=True, text=True)
            if q.returncode != 0 or "Status: install ok installed" not in q.stdout:
                continue
            stanzas.append(q.stdout.strip() + "\n")
            full = run(["dpkg-query", "-W", "-f", "${binary:Package}\n", name]).split()
            for pkg in full:
                open(os.path.join(self.admin, "info", pkg + ".list"), "w").close()
        with open(os.path.join(self.admin, "status"), "w") as f:
            f.write("\n".join(stanzas))
        open(os.path.join(self.admin, "available"), "w").close()

    def dpkg(self, *args, ok=True):
        cmd = ["dpkg", f"--root={self.root}", f"--log={self.root}/dpkg.log",
               "--force-script-chrootless", "--force-unsafe-io"]
        if os.geteuid() != 0:
            cmd.append("--force-not-root")
        env = dict(os.environ)
        env["PATH"] = env.get("PATH", "") + ":/usr/local/sbin:/usr/sbin:/sbin"
        done = subprocess.run(cmd + list(args), capture_output=True, text=True, env=env)
        if ok and done.returncode != 0:
            raise AssertionError(f"dpkg {' '.join(args)} failed:\n{done.stdout}\n{done.stderr}")
        return done

    def status(self, package):
        q = subprocess.run(["dpkg-query", f"--admindir={self.admin}", "-W",
                            "-f", "${db:Status-Abbrev}${Version}", package],
                           capture_output=True, text=True)
        return q.stdout.strip() if q.returncode == 0 else "unknown"

    def files(self):
        return layout.tree_files(self.root, skip={"/var"}) - {"/dpkg.log"}

    def at(self, path):
        return layout.under(self.root, path)


class Packages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zvit-deb-")
        cls.s = ARGS.settings
        cls.expected = layout.expected_files(cls.s)
        cls.v1 = ARGS.version
        cls.v2 = ARGS.version + ".1"
        cls.debs1 = build_packages(os.path.join(cls.tmp, "v1"), cls.v1)
        cls.debs2 = build_packages(os.path.join(cls.tmp, "v2"), cls.v2)

    @classmethod
    def tearDownClass(cls):
        if os.environ.get("ZVIT_KEEP_TMP"):  # to look at the packages and the root
            print("kept", cls.tmp)
        else:
            shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_two_packages_split_the_tree(self):
        self.assertEqual({PRODUCT_PKG, TOKEN_PKG}, set(self.debs1))
        for pkg, component in ((PRODUCT_PKG, layout.PRODUCT), (TOKEN_PKG, layout.VIRTUAL_TOKEN)):
            with self.subTest(package=pkg):
                self.assertEqual("", layout.describe_difference(
                    deb_files(self.debs1[pkg]), layout.files_of(self.expected, component)))
                self.assertEqual(self.v1, control(self.debs1[pkg], "Version"))
                self.assertEqual(self.v2, control(self.debs2[pkg], "Version"))

    def test_dependencies(self):
        product = relation_names(control(self.debs1[PRODUCT_PKG], "Depends"))
        token = relation_names(control(self.debs1[TOKEN_PKG], "Depends"))
        for needed in ("procps", "xdg-utils", "libc6", "libqt5widgets5", "libqt5websockets5",
                       "libqt5dbus5", "libusb-1.0-0"):
            self.assertIn(needed, product)
        for needed in ("umockdev", "libc6"):
            self.assertIn(needed, token)
        # A site with the maker's own libraries installs the product alone.
        self.assertNotIn(TOKEN_PKG, product)
        self.assertIn(TOKEN_PKG, relation_names(control(self.debs1[PRODUCT_PKG], "Recommends")))

    def test_control_archives(self):
        # dpkg runs a script of any mode, but Debian tools that rebuild or
        # check a package refuse maintainer scripts that are not 0755.
        synopses = set()
        for pkg, deb in self.debs1.items():
            with self.subTest(package=pkg):
                for name, mode in control_members(deb).items():
                    want = 0o755 if name in ("preinst", "postinst", "prerm", "postrm") else 0o644
                    self.assertEqual(oct(want), oct(mode), name)
                synopsis, *extended = control(deb, "Description").split("\n")
                synopses.add(synopsis)
                self.assertTrue(extended, "no extended description")
                self.assertNotEqual(synopsis, extended[0].strip(), "synopsis repeated")
                for line in extended:  # two spaces would show the line verbatim
                    self.assertRegex(line, r"^ \S", "extended description line")
        self.assertEqual(2, len(synopses), "both packages show the same synopsis")

    def test_only_the_autostart_entry_is_a_conffile(self):
        conffiles = run(["dpkg-deb", "-I", self.debs1[PRODUCT_PKG], "conffiles"]).split()
        self.assertEqual([self.s.system_root + "etc/xdg/autostart/tarndaemon.desktop"], conffiles)

    def test_install_upgrade_remove_purge(self):
        s = self.s
        deps = relation_names(control(self.debs1[PRODUCT_PKG], "Depends")) + \
            relation_names(control(self.debs1[TOKEN_PKG], "Depends"))
        root = DpkgRoot(os.path.join(self.tmp, "root"), deps)
        conf = root.at(s.files_root + "ConfigFile/Config.ini")
        default = root.at(s.files_root + "ConfigFile/Config.ini.default")
        autostart = root.at(s.system_root + "etc/xdg/autostart/tarndaemon.desktop")
        everything = set(self.expected)

        # The product alone: the maker's libraries would come from elsewhere.
        # It installs, and says that nothing starts without them.
        done = root.dpkg("-i", self.debs1[PRODUCT_PKG])
        self.assertEqual("ii " + self.v1, root.status(PRODUCT_PKG))
        self.assertIn("key libraries are not installed", done.stderr)
        for lib in layout.files_of(self.expected, layout.VIRTUAL_TOKEN) - {s.program("tarnvkey")}:
            self.assertIn(lib, done.stderr)
        self.assertEqual("", layout.describe_difference(
            root.files(), layout.files_of(self.expected, layout.PRODUCT, layout.USER_CONFIG)))
        with open(conf, "rb") as a, open(default, "rb") as b:
            self.assertEqual(b.read(), a.read())

        root.dpkg("-i", self.debs1[TOKEN_PKG])
        self.assertEqual("", layout.describe_difference(root.files(), everything))

        # The user's settings and the administrator's autostart choice survive.
        with open(conf, "a", encoding="utf-8") as f:
            f.write("\n[UkeyManage]\nShowZUdeVovavadErudWhenInsertDev=1\n")
        with open(autostart, "a", encoding="utf-8") as f:
            f.write("Hidden=true\n")
        with open(conf, "rb") as f:
            changed_conf = f.read()
        with open(autostart, "rb") as f:
            changed_autostart = f.read()

        done = root.dpkg("-i", self.debs2[PRODUCT_PKG], self.debs2[TOKEN_PKG])
        self.assertNotIn("key libraries", done.stdout + done.stderr)
        self.assertEqual("ii " + self.v2, root.status(PRODUCT_PKG))
        self.assertEqual("ii " + self.v2, root.status(TOKEN_PKG))
        with open(conf, "rb") as f:
            self.assertEqual(changed_conf, f.read())
        with open(autostart, "rb") as f:
            self.assertEqual(changed_autostart, f.read())
        # No .dpkg-new, .dpkg-old or half-made copies left beside them.
        self.assertEqual("", layout.describe_difference(root.files(), everything))

        # Removing the virtual token leaves the product whole.
        root.dpkg("-r", TOKEN_PKG)
        self.assertEqual("", layout.describe_difference(
            root.files(), layout.files_of(self.expected, layout.PRODUCT, layout.USER_CONFIG)))

        # Removal keeps what is the user's and the administrator's until purge.
        root.dpkg("-r", PRODUCT_PKG)
        self.assertEqual("rc " + self.v2, root.status(PRODUCT_PKG))
        self.assertEqual("", layout.describe_difference(
            root.files(), {s.files_root + "ConfigFile/Config.ini",
                           s.system_root + "etc/xdg/autostart/tarndaemon.desktop"}))

        # A reinstall after removal finds the settings as they were.
        root.dpkg("-i", self.debs2[PRODUCT_PKG])
        with open(conf, "rb") as f:
            self.assertEqual(changed_conf, f.read())

        root.dpkg("--purge", PRODUCT_PKG, TOKEN_PKG)
        self.assertIn(root.status(PRODUCT_PKG), ("unknown", "pn"))
        self.assertEqual(set(), root.files())
        leftovers = []
        for dirpath, dirnames, _ in os.walk(root.root):
            rel = os.path.relpath(dirpath, root.root)
            if rel == "." or rel.split(os.sep)[0] == "var":
                continue
            if rel.count(os.sep) >= 1:  # top-level folders may stay, as dpkg leaves /opt
                leftovers.append("/" + rel)
        self.assertEqual([], leftovers)


def main():
    global ARGS
    ARGS, rest = layout.parse_args("--version")
    for tool in ("cpack", "dpkg", "dpkg-deb", "dpkg-query", "dpkg-shlibdeps"):
        if not shutil.which(tool):
            print(f"{tool} is not installed: the package test needs cpack and dpkg-dev")
            sys.exit(SKIP)
    result = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
