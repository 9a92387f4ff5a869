#!/usr/bin/env python3
"""cmake --install of this build into throw-away DESTDIRs: the tree is exactly
the product's, each component holds its own share, and a second install keeps
what the user changed."""
import filecmp
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402

ARGS = None
QM_MAGIC = bytes.fromhex("3cb86418caef9c95cd211cbf60a1bddd")


def install(destdir, component=None):
    cmd = ["cmake", "--install", ARGS.build]
    if component:
        cmd += ["--component", component]
    env = dict(os.environ, DESTDIR=destdir)
    run = subprocess.run(cmd, env=env, capture_output=True, text=True)
    if run.returncode != 0:
        raise AssertionError(f"{' '.join(cmd)} failed:\n{run.stdout}\n{run.stderr}")
    return run.stdout


class InstallTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zvit-install-")
        cls.dest = os.path.join(cls.tmp, "full")
        install(cls.dest)
        cls.s = ARGS.settings
        cls.expected = layout.expected_files(cls.s)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def at(self, path):
        return layout.under(self.dest, path)

    def test_tree_is_exactly_the_product(self):
        found = layout.tree_files(self.dest)
        self.assertEqual("", layout.describe_difference(found, set(self.expected)))

    def test_programs_and_libraries_are_runnable_elf_files(self):
        r = self.s.files_root
        kinds = {r + "bin/" + p: "exec" for p in ("tarnukey", "tarndaemon", "tarnvkey")}
        kinds[self.s.system_root + "usr/sbin/tarn-browser-policy"] = "exec"
        for lib in ("libZTUtil.so", "libZTSoftAlg.so", "libZTTokenKernel.so", "libZTUIExtend.so"):
            kinds[r + "Librarys/" + lib] = "shared"
        kinds[self.s.skf_library] = "shared"
        problems = []
        for path, kind in kinds.items():
            full = self.at(path)
            if not os.path.exists(full):
                problems.append(f"{path}: not installed")
                continue
            if layout.elf_type(full) != kind:
                problems.append(f"{path}: not an ELF {kind} file")
            problems += layout.mode_problems(full, True if kind == "exec" else None)
            # Installed files must find their libraries without the build tree.
            missing = layout.unresolved_libraries(full)
            if missing:
                problems.append(f"{path}: unresolved {', '.join(missing)}")
        self.assertEqual([], problems)

    def test_data_files_have_their_formats_and_modes(self):
        r = self.s.files_root
        checks = {r + "Languages/" + q: lambda b: b.startswith(QM_MAGIC)
                  for q in ("2052.qm", "1033.qm", "1028.qm")}
        checks[r + "Resources/dialog.jpg"] = lambda b: b.startswith(b"\xff\xd8\xff")
        checks[r + "Resources/notifyIcon.png"] = lambda b: b.startswith(b"\x89PNG\r\n\x1a\n")
        problems = []
        for path, ok in checks.items():
            full = self.at(path)
            if not os.path.exists(full):
                problems.append(f"{path}: not installed")
                continue
            with open(full, "rb") as f:
                if not ok(f.read(64)):
                    problems.append(f"{path}: wrong format")
        for path, component in self.expected.items():
            if os.path.exists(self.at(path)) and "/bin/" not in path and "/sbin/" not in path and "Librarys/" not in path \
                    and path not in (self.s.skf_library, self.s.files_root + "cert/server.key"):
                problems += layout.mode_problems(self.at(path), False)
        self.assertEqual([], problems)

    def test_configuration_is_the_default_and_names_the_shared_memory(self):
        conf = self.at(self.s.files_root + "ConfigFile/Config.ini")
        default = self.at(self.s.files_root + "ConfigFile/Config.ini.default")
        source = os.path.join(ARGS.source, "config", "Config.ini")
        self.assertTrue(filecmp.cmp(conf, source, shallow=False))
        self.assertTrue(filecmp.cmp(default, source, shallow=False))
        self.assertEqual("Zenvit Base CSP v1.0", layout.ini_value(conf, "ZTTokenInfo", "CSPName"))
        lang = self.at(self.s.files_root + "Languages/Language.ini")
        code = layout.ini_value(lang, "LanguageDefaultSetting", "language")
        self.assertEqual("2052", code)
        self.assertTrue(os.path.exists(self.at(self.s.files_root + f"Languages/{code}.qm")))

    def test_bridge_certificate_and_key_belong_together(self):
        crt = self.at(self.s.files_root + "cert/server.crt")
        key = self.at(self.s.files_root + "cert/server.key")
        from_crt = subprocess.run(["openssl", "x509", "-in", crt, "-noout", "-pubkey"],
                                  capture_output=True, text=True)
        from_key = subprocess.run(["openssl", "pkey", "-in", key, "-pubout"],
                                  capture_output=True, text=True)
        self.assertEqual(0, from_crt.returncode, from_crt.stderr)
        self.assertEqual(0, from_key.returncode, from_key.stderr)
        self.assertEqual(from_crt.stdout, from_key.stdout)
        # The installing user's alone: the programs run as that user here.
        self.assertEqual(0o600, os.stat(key).st_mode & 0o777, oct(os.stat(key).st_mode))

    def test_desktop_entries_start_the_installed_programs(self):
        menu = layout.read_desktop_entry(
            self.at(self.s.system_root + "usr/share/applications/tarnukey.desktop"))
        auto = layout.read_desktop_entry(
            self.at(self.s.system_root + "etc/xdg/autostart/tarndaemon.desktop"))
        self.assertEqual("Application", menu.get("Type"))
        self.assertEqual(self.s.program("tarnukey"), menu.get("Exec"))
        self.assertTrue(os.path.exists(self.at(menu.get("Icon", "/nonexistent"))), menu.get("Icon"))
        self.assertEqual("Application", auto.get("Type"))
        self.assertEqual(self.s.program("tarndaemon"), auto.get("Exec"))
        # A removed package leaves no autostart that runs nothing.
        self.assertEqual(self.s.program("tarndaemon"), auto.get("TryExec"))
        # The menu finds the program by the name its window and tray show.
        for key, ts in (("Name", "1033.ts"), ("Name[zh_CN]", "2052.ts"), ("Name[zh_TW]", "1028.ts")):
            with open(os.path.join(ARGS.source, "languages", ts), encoding="utf-8") as f:
                shown = re.search(r"<source>Product_Name</source>\s*<translation>([^<]+)<", f.read()).group(1)
            self.assertEqual(shown, menu.get(key), key)
        for entry in (menu, auto):
            self.assertTrue(os.path.exists(self.at(entry["Exec"].split()[0])), entry["Exec"])
            self.assertEqual("false", entry.get("Terminal"))

    def test_tarnvkey_is_on_the_path(self):
        link = self.at(self.s.system_root + "usr/bin/tarnvkey")
        self.assertEqual(self.s.program("tarnvkey"), os.readlink(link))

    def test_launch_script_passes_its_arguments_from_any_folder(self):
        bindir = os.path.join(self.tmp, "odd place", "bin")
        os.makedirs(bindir)
        shutil.copy2(self.at(self.s.program("runukey.sh")), bindir)
        fake = os.path.join(bindir, "tarnukey")
        with open(fake, "w") as f:
            f.write('#!/bin/sh\necho "cwd=$(pwd)"\nfor a in "$@"; do echo "arg=$a"; done\n')
        os.chmod(fake, 0o755)
        script = os.path.join(bindir, "runukey.sh")
        hidden = subprocess.run([script, "-sys"], cwd="/", capture_output=True, text=True)
        shown = subprocess.run([script], cwd="/", capture_output=True, text=True)
        self.assertEqual(0, hidden.returncode, hidden.stderr)
        self.assertEqual(["arg=-sys"], [l for l in hidden.stdout.splitlines() if l.startswith("arg=")])
        self.assertEqual([], [l for l in shown.stdout.splitlines() if l.startswith("arg=")])


class DesktopIntegration(unittest.TestCase):
    """What menus, software centres and man read, checked with their own tools."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zvit-desktop-")
        install(cls.tmp)
        cls.s = ARGS.settings

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def at(self, path):
        return layout.under(self.tmp, path)

    def tool(self, name):
        if not shutil.which(name):
            self.skipTest(f"{name} is not installed")
        return name

    def test_desktop_entries_validate(self):
        validate = self.tool("desktop-file-validate")
        for entry in ("usr/share/applications/tarnukey.desktop", "etc/xdg/autostart/tarndaemon.desktop"):
            done = subprocess.run([validate, self.at(self.s.system_root + entry)],
                                  capture_output=True, text=True)
            with self.subTest(entry=entry):
                self.assertEqual(0, done.returncode, done.stdout + done.stderr)
                # Hints are advice; errors and warnings are not.
                self.assertNotRegex(done.stdout + done.stderr, r"(error|warning):")

    def test_metainfo_validates_and_launches_the_menu_entry(self):
        metainfo = self.at(self.s.system_root + "usr/share/metainfo/" + layout.METAINFO)
        done = subprocess.run([self.tool("appstreamcli"), "validate", "--no-net", "--pedantic", metainfo],
                              capture_output=True, text=True)
        self.assertEqual(0, done.returncode, done.stdout + done.stderr)
        with open(metainfo, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("<id>" + layout.METAINFO.replace(".metainfo.xml", "") + "</id>", text)
        launchable = re.search(r'<launchable type="desktop-id">([^<]+)</launchable>', text)
        self.assertIsNotNone(launchable)
        self.assertTrue(os.path.exists(self.at(self.s.system_root + "usr/share/applications/"
                                               + launchable.group(1))), launchable.group(1))

    def test_tarnvkey_manual_describes_every_command(self):
        man = self.tool("man")
        page = self.at(self.s.system_root + "usr/share/man/man1/tarnvkey.1")
        env = dict(os.environ, MANWIDTH="200", MANPAGER="cat", PAGER="cat", LC_ALL="C.UTF-8")
        rendered = subprocess.run([man, "--warnings", "-l", page], capture_output=True, text=True, env=env)
        self.assertEqual(0, rendered.returncode, rendered.stderr)
        self.assertEqual("", rendered.stderr.strip())
        usage = subprocess.run([self.at(self.s.program("tarnvkey")), "--help"], capture_output=True, text=True)
        self.assertEqual(0, usage.returncode, usage.stderr)
        commands = re.findall(r"^tarnvkey \[--store DIR\] (\S+)", usage.stdout, re.M)
        self.assertGreater(len(commands), 5, usage.stdout)
        documented = re.findall(r"^ {7}(\S+)", rendered.stdout.split("COMMANDS")[1].split("EXIT STATUS")[0], re.M)
        self.assertEqual(sorted(commands), sorted(documented))

    def test_versions_agree(self):
        with open(os.path.join(ARGS.source, "debian", "changelog"), encoding="utf-8") as f:
            changelog = re.match(r"\S+ \(([^)]+)\)", f.readline())
        self.assertEqual(ARGS.version, changelog.group(1))
        with open(self.at(self.s.system_root + "usr/share/metainfo/" + layout.METAINFO), encoding="utf-8") as f:
            releases = re.findall(r'<release version="([^"]+)"', f.read())
        self.assertEqual(ARGS.version, releases[0], "the newest release comes first")


class BrowserPolicy(unittest.TestCase):
    """The installed tarn-browser-policy on an installation of its own."""

    SITES = ('        "https://bank.example:443",\n        "http://127.0.0.1:8000",\n'
             '        "https://bank.example:8443"\n')
    CHROMIUM = ('{\n    "LocalNetworkAccessAllowedForUrls": [\n' + SITES + '    ],\n'
                '    "LoopbackNetworkAllowedForUrls": [\n' + SITES + '    ]\n}\n')
    FIREFOX = ("// Written by tarn-browser-policy from [WebBridge] AllowedOrigins of the key\n"
               "// manager's Config.ini; run it again after changing that list.\n"
               'pref("network.lna.skip-domains", "bank.example");\n')

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="zvit-policy-")
        install(self.tmp)
        self.s = ARGS.settings
        self.conf = layout.under(self.tmp, self.s.files_root + "ConfigFile/Config.ini")

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def at(self, path):
        return layout.under(self.tmp, self.s.system_root + path)

    def run_command(self, origins):
        with open(self.conf, encoding="utf-8") as f:
            text = re.sub(r"(?m)^AllowedOrigins=.*$", "AllowedOrigins=" + origins, f.read())
        with open(self.conf, "w", encoding="utf-8") as f:
            f.write(text)
        return subprocess.run([self.at("usr/sbin/tarn-browser-policy"), "--root", self.tmp],
                              capture_output=True, text=True)

    def contents(self):
        found = {}
        for path in layout.BROWSER_POLICY_FILES:
            if os.path.exists(self.at(path)):
                with open(self.at(path), encoding="utf-8") as f:
                    found[path] = f.read()
        return found

    def test_listed_sites_are_written_for_each_browser_and_removed_with_the_list(self):
        others = self.at("etc/chromium/policies/managed/site.json")
        os.makedirs(os.path.dirname(others))
        with open(others, "w") as f:
            f.write("{}")
        done = self.run_command("https://Bank.Example:443/login; http://127.0.0.1:8000 ;*;"
                                "https://*.bank.example;https://bank.example:8443;https://bank.example")
        self.assertEqual(0, done.returncode, done.stderr)
        self.assertEqual({p: self.FIREFOX if p.endswith(".js") else self.CHROMIUM
                          for p in layout.BROWSER_POLICY_FILES}, self.contents())
        for path in layout.BROWSER_POLICY_FILES:
            self.assertEqual(0o644, os.stat(self.at(path)).st_mode & 0o777)
            self.assertIn("wrote " + self.at(path), done.stdout)
        # Patterns wider than the bridge's list, and Firefox's exemption of a target address.
        for left_out in ("'*'", "'https://*.bank.example'", "'http://127.0.0.1:8000' is left out of Firefox"):
            self.assertIn(left_out, done.stderr)

        done = self.run_command("")
        self.assertEqual(0, done.returncode, done.stderr)
        self.assertEqual({}, self.contents())
        self.assertIn("removed " + self.at(layout.BROWSER_POLICY_FILES[0]), done.stdout)
        self.assertTrue(os.path.exists(others), "another's policy stays")
        for gone in ("etc/opt/chrome", "etc/opt/edge", "etc/firefox-esr"):
            self.assertFalse(os.path.exists(self.at(gone)), gone)
        self.assertTrue(os.path.isdir(self.at("etc/opt")), "the system's folder stays")

    def test_without_the_key_libraries_nothing_changes(self):
        self.assertEqual(0, self.run_command("https://bank.example").returncode)
        written = self.contents()
        libraries = layout.under(self.tmp, self.s.files_root + "Librarys")
        os.rename(libraries, libraries + ".away")
        done = self.run_command("")
        self.assertEqual(1, done.returncode)
        self.assertIn("libZTUtil.so", done.stderr)
        self.assertEqual(written, self.contents())


class Components(unittest.TestCase):
    """The two packages are made of these components: each holds its share."""

    def test_each_component_installs_only_its_files(self):
        s = ARGS.settings
        expected = layout.expected_files(s)
        with tempfile.TemporaryDirectory(prefix="zvit-component-") as tmp:
            for component in (layout.PRODUCT, layout.VIRTUAL_TOKEN):
                dest = os.path.join(tmp, component)
                install(dest, component)
                found = layout.tree_files(dest)
                with self.subTest(component=component):
                    self.assertEqual("", layout.describe_difference(
                        found, layout.files_of(expected, component)))


class Reinstall(unittest.TestCase):
    def test_second_install_keeps_a_changed_configuration(self):
        s = ARGS.settings
        with tempfile.TemporaryDirectory(prefix="zvit-reinstall-") as dest:
            install(dest)
            conf = layout.under(dest, s.files_root + "ConfigFile/Config.ini")
            with open(conf, "a", encoding="utf-8") as f:
                f.write("\n[UkeyManage]\nOpenWebBankUrl=https://bank.example/\n")
            with open(conf, "rb") as f:
                changed = f.read()
            os.remove(layout.under(dest, s.files_root + "Languages/2052.qm"))
            install(dest)
            with open(conf, "rb") as f:
                self.assertEqual(changed, f.read())
            # Everything else is put back.
            self.assertTrue(os.path.exists(layout.under(dest, s.files_root + "Languages/2052.qm")))

    def test_install_restores_a_deleted_configuration_from_the_defaults(self):
        s = ARGS.settings
        with tempfile.TemporaryDirectory(prefix="zvit-reinstall-") as dest:
            install(dest)
            conf = layout.under(dest, s.files_root + "ConfigFile/Config.ini")
            os.remove(conf)
            install(dest)
            self.assertTrue(filecmp.cmp(conf, os.path.join(ARGS.source, "config", "Config.ini"),
                                        shallow=False))


def main():
    global ARGS
    ARGS, rest = layout.parse_args("--version")
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
