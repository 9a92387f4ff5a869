#!/usr/bin/env python3
"""cmake --install of this build into throw-away DESTDIRs: the tree is exactly
the product's, each component holds its own share, and a second install keeps
what the user changed."""
import filecmp
import os
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
            if os.path.exists(self.at(path)) and "/bin/" not in path and "Librarys/" not in path \
                    and path != self.s.skf_library:
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
        for entry in (menu, auto):
            self.assertTrue(os.path.exists(self.at(entry["Exec"].split()[0])), entry["Exec"])
            self.assertEqual("false", entry.get("Terminal"))

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
    ARGS, rest = layout.parse_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
