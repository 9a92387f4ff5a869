#!/usr/bin/env python3
"""The Debian packages as a site builds them: dpkg-buildpackage on a clean
copy of the sources, then lintian, then install, upgrade, remove and purge by
the real dpkg in a throw-away root.

dpkg runs with --root (its own instdir and admindir) and
--force-script-chrootless, so no chroot is needed; the maintainer scripts find
the root in $DPKG_ROOT. The admindir knows the host's installed packages that
ours depend on, so dpkg's dependency check is real: a Depends that no
installed Debian package satisfies fails the install."""
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
# Build products of an earlier build in the sources; a clean checkout has none.
DEBIAN_LEFTOVERS = {"tmp", ".debhelper", "files", "debhelper-build-stamp"}


def run(cmd, **kw):
    done = subprocess.run(cmd, capture_output=True, text=True, **kw)
    if done.returncode != 0:
        raise AssertionError(f"{' '.join(cmd)} failed ({done.returncode}):\n{done.stdout[-6000:]}\n"
                             f"{done.stderr[-6000:]}")
    return done.stdout


def copy_sources(source, dest):
    """The sources as a clean checkout has them: no build folder (this
    test's own may be inside the sources) and no build products."""
    top = os.path.realpath(source)

    def ignore(folder, names):
        folder = os.path.realpath(folder)
        skipped = {n for n in names if n in (".git", "node_modules", ".cache", "__pycache__")
                   or os.path.exists(os.path.join(folder, n, "CMakeCache.txt"))}
        if folder == top:
            skipped |= {n for n in names if n.startswith(("build", "obj-"))}
        elif folder == os.path.join(top, "debian"):
            skipped |= {n for n in names if n in DEBIAN_LEFTOVERS or n.endswith(".substvars")
                        or os.path.isdir(os.path.join(folder, n, "DEBIAN"))}
        return skipped
    shutil.copytree(source, dest, ignore=ignore, symlinks=True)


def build_env():
    env = dict(os.environ)
    env.setdefault("DEB_BUILD_OPTIONS", f"parallel={os.cpu_count() or 1}")
    # The package build's own compiler runs, cached like the suite's when it can.
    if shutil.which("ccache"):
        for lang in ("C", "CXX"):
            env.setdefault(f"CMAKE_{lang}_COMPILER_LAUNCHER", "ccache")
    for name in ("ZVIT_FILES_ROOT", "LD_PRELOAD", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"):
        env.pop(name, None)
    return env


def collect_debs(workdir, outdir):
    """Moves what dpkg-buildpackage left beside the sources into outdir."""
    os.makedirs(outdir)
    for built in glob.glob(os.path.join(workdir, "*.*deb")) + glob.glob(os.path.join(workdir, "*.changes")) \
            + glob.glob(os.path.join(workdir, "*.buildinfo")):
        shutil.move(built, outdir)
    debs = {}
    for deb in glob.glob(os.path.join(outdir, "*.deb")):
        debs[run(["dpkg-deb", "-f", deb, "Package"]).strip()] = deb
    return debs


def add_changelog_entry(src, version):
    path = os.path.join(src, "debian", "changelog")
    with open(path, encoding="utf-8") as f:
        old = f.read()
    trailer = re.search(r"^ -- .*$", old, re.M).group(0)
    with open(path, "w", encoding="utf-8") as f:
        f.write(f"tarn-ukey ({version}) unstable; urgency=medium\n\n  * Upgrade test build.\n\n"
                f"{trailer}\n\n{old}")


def build_packages(workdir):
    """dpkg-buildpackage twice from one copy: the version in the sources, then
    a later version made by the binary stage alone, as a site's next build."""
    if os.path.exists(workdir):
        shutil.rmtree(workdir)
    src = os.path.join(workdir, "src")
    copy_sources(ARGS.source, src)
    env = build_env()
    run(["dpkg-buildpackage", "-us", "-uc", "-b"], cwd=src, env=env)
    v1 = run(["dpkg-parsechangelog", "-S", "Version"], cwd=src).strip()
    debs1 = collect_debs(workdir, os.path.join(workdir, "v1"))
    v2 = v1 + ".1"
    add_changelog_entry(src, v2)
    run(["dpkg-buildpackage", "-us", "-uc", "-b", "-nc"], cwd=src, env=env)
    debs2 = collect_debs(workdir, os.path.join(workdir, "v2"))
    return v1, debs1, v2, debs2


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


def elf_build_id(path):
    note = run(["readelf", "-n", path])
    return re.search(r"Build ID: ([0-9a-f]+)", note).group(1)


class Packages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = layout.product_settings()
        cls.expected = layout.expected_files(cls.s)
        cls.v1, cls.debs1, cls.v2, cls.debs2 = build_packages(os.path.join(ARGS.build, "deb-package"))
        cls.tmp = tempfile.mkdtemp(prefix="zvit-deb-")

    @classmethod
    def tearDownClass(cls):
        if os.environ.get("ZVIT_KEEP_TMP"):  # to look at the roots
            print("kept", cls.tmp)
        else:
            shutil.rmtree(cls.tmp, ignore_errors=True)

    def packaged(self, pkg):
        """The files the package must hold: its component's share of the tree,
        with the manual pages compressed, and the Debian documents."""
        component = {PRODUCT_PKG: layout.PRODUCT, TOKEN_PKG: layout.VIRTUAL_TOKEN}[pkg]
        files = {p + ".gz" if "/share/man/" in p else p for p in layout.files_of(self.expected, component)}
        return files | {f"/usr/share/doc/{pkg}/copyright", f"/usr/share/doc/{pkg}/changelog.gz",
                        f"/usr/share/lintian/overrides/{pkg}"}

    def made_on_target(self):
        return layout.files_of(self.expected, layout.USER_CONFIG, layout.BRIDGE_TLS)

    def test_packages_and_versions(self):
        names = {PRODUCT_PKG, TOKEN_PKG, PRODUCT_PKG + "-dbgsym", TOKEN_PKG + "-dbgsym"}
        self.assertEqual(names, set(self.debs1))
        self.assertEqual(names, set(self.debs2))
        self.assertEqual(ARGS.version, self.v1)
        for pkg in names:
            self.assertEqual(self.v1, control(self.debs1[pkg], "Version"))
            self.assertEqual(self.v2, control(self.debs2[pkg], "Version"))

    def test_two_packages_split_the_tree(self):
        for pkg in (PRODUCT_PKG, TOKEN_PKG):
            with self.subTest(package=pkg):
                self.assertEqual("", layout.describe_difference(deb_files(self.debs1[pkg]), self.packaged(pkg)))

    def test_programs_are_stripped_and_their_symbols_are_in_dbgsym(self):
        problems = []
        for pkg in (PRODUCT_PKG, TOKEN_PKG):
            tree = os.path.join(self.tmp, "x-" + pkg)
            dbg = os.path.join(self.tmp, "x-" + pkg + "-dbgsym")
            run(["dpkg-deb", "-x", self.debs1[pkg], tree])
            run(["dpkg-deb", "-x", self.debs1[pkg + "-dbgsym"], dbg])
            elves = [p for p in layout.tree_files(tree) if not os.path.islink(layout.under(tree, p))
                     and layout.elf_type(layout.under(tree, p))]
            # tarnukey, tarndaemon and tarn-browser-policy; tarnvkey, four stand-ins and the SKF library.
            self.assertEqual(3 if pkg == PRODUCT_PKG else 6, len(elves), pkg)
            for path in elves:
                full = layout.under(tree, path)
                sections = run(["readelf", "-SW", full])
                for section in (".symtab", ".debug_info"):
                    if section + " " in sections:
                        problems.append(f"{pkg}: {path} keeps {section}")
                build_id = elf_build_id(full)
                separate = os.path.join(dbg, "usr/lib/debug/.build-id", build_id[:2], build_id[2:] + ".debug")
                if not os.path.exists(separate):
                    problems.append(f"{pkg}: no debug symbols for {path} in {pkg}-dbgsym")
                elif ".debug_info " not in run(["readelf", "-SW", separate]):
                    problems.append(f"{pkg}-dbgsym: {path}'s file has no .debug_info")
        self.assertEqual([], problems)

    def test_dependencies(self):
        product = relation_names(control(self.debs1[PRODUCT_PKG], "Depends"))
        token = relation_names(control(self.debs1[TOKEN_PKG], "Depends"))
        for needed in ("openssl", "procps", "xdg-utils", "libc6", "libqt5widgets5", "libqt5websockets5",
                       "libqt5dbus5", "libusb-1.0-0"):
            self.assertIn(needed, product)
        # The texts are Chinese by default; without such a font they are boxes.
        self.assertTrue({"fonts-noto-cjk", "fonts-wqy-microhei"} & set(product), product)
        for needed in ("umockdev", "libc6"):
            self.assertIn(needed, token)
        # A site with the maker's own libraries installs the product alone.
        self.assertNotIn(TOKEN_PKG, product)
        self.assertIn(TOKEN_PKG, relation_names(control(self.debs1[PRODUCT_PKG], "Recommends")))

    def test_control_archives(self):
        # dpkg runs a script of any mode, but Debian tools that rebuild or
        # check a package refuse maintainer scripts that are not 0755.
        synopses = set()
        for pkg in (PRODUCT_PKG, TOKEN_PKG):
            deb = self.debs1[pkg]
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

    def test_library_cache_follows_a_trigger_not_the_scripts(self):
        triggers = run(["dpkg-deb", "-I", self.debs1[TOKEN_PKG], "triggers"])
        self.assertIn("activate-noawait ldconfig", [l.strip() for l in triggers.splitlines()])
        for pkg in (PRODUCT_PKG, TOKEN_PKG):
            for name in control_members(self.debs1[pkg]):
                if name.endswith(("inst", "rm")):
                    self.assertNotIn("ldconfig", run(["dpkg-deb", "-I", self.debs1[pkg], name]), f"{pkg} {name}")

    def test_only_the_autostart_entry_is_a_conffile(self):
        conffiles = run(["dpkg-deb", "-I", self.debs1[PRODUCT_PKG], "conffiles"]).split()
        self.assertEqual([self.s.system_root + "etc/xdg/autostart/tarndaemon.desktop"], conffiles)

    def test_lintian_reports_only_the_contracts_overrides(self):
        if not shutil.which("lintian"):
            self.skipTest("lintian is not installed")
        changes = glob.glob(os.path.join(os.path.dirname(self.debs1[PRODUCT_PKG]), "*.changes"))
        self.assertEqual(1, len(changes))
        done = subprocess.run(["lintian", "--display-info", "--fail-on", "error,warning"] + changes,
                              capture_output=True, text=True)
        tags = [line for line in done.stdout.splitlines() if re.match(r"^[EWI]: ", line)]
        self.assertEqual([], [t for t in tags if t[0] in "EW"], done.stdout)
        self.assertEqual(0, done.returncode, done.stdout + done.stderr)
        stale = [t for t in tags if "unused-override" in t or "mismatched-override" in t]
        self.assertEqual([], stale)
        # What the fixed installation root forces, and nothing more. (Shown
        # overrides count as failures for --fail-on, hence a second run.)
        shown = run(["lintian", "--show-overrides", "--fail-on", "none"] + changes).splitlines()
        overridden = {(t.split()[1].rstrip(":"), t.split()[2]) for t in shown if t.startswith("O: ")}
        self.assertEqual({(PRODUCT_PKG, "dir-or-file-in-opt"), (TOKEN_PKG, "dir-or-file-in-opt"),
                          (TOKEN_PKG, "sharedobject-in-library-directory-missing-soname"),
                          (TOKEN_PKG, "package-has-unnecessary-activation-of-ldconfig-trigger")},
                         overridden)

    def check_bridge_tls(self, root):
        """The pair belongs together; the key is kept from other users."""
        key = root.at(self.s.files_root + "cert/server.key")
        crt = root.at(self.s.files_root + "cert/server.crt")
        self.assertEqual(run(["openssl", "x509", "-in", crt, "-noout", "-pubkey"]),
                         run(["openssl", "pkey", "-in", key, "-pubout"]))
        st = os.stat(key)
        self.assertEqual((0o600, 0), (st.st_mode & 0o777, st.st_uid), oct(st.st_mode))
        self.assertEqual(0o644, os.stat(crt).st_mode & 0o777)
        with open(key, "rb") as f:
            return f.read()

    def test_install_upgrade_remove_purge(self):
        s = self.s
        deps = relation_names(control(self.debs1[PRODUCT_PKG], "Depends")) + \
            relation_names(control(self.debs1[TOKEN_PKG], "Depends"))
        root = DpkgRoot(os.path.join(self.tmp, "root"), deps)
        conf = root.at(s.files_root + "ConfigFile/Config.ini")
        default = root.at(s.files_root + "ConfigFile/Config.ini.default")
        autostart = root.at(s.system_root + "etc/xdg/autostart/tarndaemon.desktop")
        product = self.packaged(PRODUCT_PKG) | self.made_on_target()
        everything = product | self.packaged(TOKEN_PKG)

        # The product alone: the maker's libraries would come from elsewhere.
        # It installs, and says that nothing starts without them.
        done = root.dpkg("-i", self.debs1[PRODUCT_PKG])
        self.assertEqual("ii " + self.v1, root.status(PRODUCT_PKG))
        self.assertIn("key libraries are not installed", done.stderr)
        for lib in layout.files_of(self.expected, layout.VIRTUAL_TOKEN):
            if "/share/man/" not in lib and "/bin/" not in lib:
                self.assertIn(lib, done.stderr)
        self.assertIn("run tarn-browser-policy once the key libraries are installed", done.stderr)
        self.assertEqual("", layout.describe_difference(root.files(), product))
        with open(conf, "rb") as a, open(default, "rb") as b:
            self.assertEqual(b.read(), a.read())
        machine_key = self.check_bridge_tls(root)

        # Another machine gets a key of its own.
        other = DpkgRoot(os.path.join(self.tmp, "other"), deps)
        other.dpkg("-i", self.debs1[PRODUCT_PKG])
        self.assertNotEqual(machine_key, self.check_bridge_tls(other))

        root.dpkg("-i", self.debs1[TOKEN_PKG])
        self.assertEqual("", layout.describe_difference(root.files(), everything))

        # The user's settings, the administrator's autostart choice and the
        # machine's key survive an upgrade, whose configuration writes the
        # browsers' settings for the listed site.
        with open(conf, encoding="utf-8") as f:
            text = re.sub(r"(?m)^AllowedOrigins=$", "AllowedOrigins=https://bank.example", f.read())
        with open(conf, "w", encoding="utf-8") as f:
            f.write(text + "\n[UkeyManage]\nShowZUdeVovavadErudWhenInsertDev=1\n")
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
        self.assertEqual(machine_key, self.check_bridge_tls(root))
        policy = {s.system_root + p for p in layout.BROWSER_POLICY_FILES}
        self.assertIn("wrote " + root.at("/etc/chromium/policies/managed/tarn-ukey.json"), done.stdout)
        with open(root.at("/etc/firefox-esr/tarn-ukey.js"), encoding="utf-8") as f:
            self.assertIn('"bank.example"', f.read())
        # No .dpkg-new, .dpkg-old or half-made copies left beside them.
        self.assertEqual("", layout.describe_difference(root.files(), everything | policy))

        # Removing the virtual token leaves the product whole.
        root.dpkg("-r", TOKEN_PKG)
        self.assertEqual("", layout.describe_difference(root.files(), product | policy))

        # Removal keeps what is the user's, the administrator's and the
        # machine's until purge; the browsers' exemption goes with the manager.
        root.dpkg("-r", PRODUCT_PKG)
        self.assertEqual("rc " + self.v2, root.status(PRODUCT_PKG))
        self.assertEqual("", layout.describe_difference(
            root.files(), self.made_on_target() | {s.system_root + "etc/xdg/autostart/tarndaemon.desktop"}))

        # A reinstall after removal finds the settings and the key as they were.
        root.dpkg("-i", self.debs2[PRODUCT_PKG])
        with open(conf, "rb") as f:
            self.assertEqual(changed_conf, f.read())
        self.assertEqual(machine_key, self.check_bridge_tls(root))

        root.dpkg("--purge", PRODUCT_PKG, TOKEN_PKG)
        self.assertIn(root.status(PRODUCT_PKG), ("unknown", "pn"))
        self.assertEqual(set(), root.files())
        leftovers = []
        for dirpath, dirnames, _ in os.walk(root.root):
            rel = os.path.relpath(dirpath, root.root)
            if rel == "." or rel.split(os.sep)[0] == "var":
                continue
            # Top-level folders may stay, as dpkg leaves /opt, and /etc/opt, base-files' own.
            if rel.count(os.sep) >= 1 and rel != os.path.join("etc", "opt"):
                leftovers.append("/" + rel)
        self.assertEqual([], leftovers)


def main():
    global ARGS
    ARGS, rest = layout.parse_args("--version")
    for tool in ("dpkg-buildpackage", "dh", "dpkg", "dpkg-deb", "dpkg-query", "dpkg-parsechangelog",
                 "readelf", "openssl"):
        if not shutil.which(tool):
            print(f"{tool} is not installed: the package test needs dpkg-dev, debhelper, binutils and openssl")
            sys.exit(SKIP)
    result = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
