#!/usr/bin/env python3
"""The demo's two virtual keys, made by scripts/demo/make-keys.sh with this
build's tarnvkey in a store of their own: the right containers and
certificates, certificates the manager's decoder reads, and a second run that
replaces only the demo's keys."""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import unittest

ARGS = None
PIN = "12345678"


class DemoKeys(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="zvit-demo-keys-")
        base = self.tmp.name
        # An installation root without configuration: the store falls to XDG_DATA_HOME.
        os.makedirs(os.path.join(base, "root"))
        self.env = dict(os.environ, HOME=base, XDG_DATA_HOME=os.path.join(base, "data"),
                        ZVIT_FILES_ROOT=os.path.join(base, "root") + "/")
        self.certs = os.path.join(base, "certs")

    def tearDown(self):
        self.tmp.cleanup()

    def tarnvkey(self, *args):
        done = subprocess.run([ARGS.tarnvkey, *args], env=self.env, capture_output=True, text=True)
        self.assertEqual(0, done.returncode, f"tarnvkey {' '.join(args)}: {done.stdout}{done.stderr}")
        return done.stdout

    def make_keys(self):
        done = subprocess.run(["bash", os.path.join(ARGS.source, "scripts/demo/make-keys.sh"),
                               ARGS.tarnvkey, self.certs, PIN],
                              env=self.env, capture_output=True, text=True)
        self.assertEqual(0, done.returncode, done.stdout + done.stderr)

    def keys(self):
        return {k["serial"]: k for k in json.loads(self.tarnvkey("list", "--json"))}

    def test_one_rsa_key_with_two_certificates_and_one_sm2_key(self):
        self.make_keys()
        keys = self.keys()
        self.assertEqual({"DEMO-RSA", "DEMO-SM2"}, set(keys))
        rsa, sm2 = keys["DEMO-RSA"], keys["DEMO-SM2"]
        for key in (rsa, sm2):
            self.assertFalse(key["plugged"])
            self.assertTrue(key["pinChanged"])
            self.assertEqual(1, len(key["containers"]))
        rsa_c, sm2_c = rsa["containers"][0], sm2["containers"][0]
        self.assertEqual("rsa", rsa_c["type"])
        self.assertTrue(rsa_c["signature"]["subject"].endswith("CN=Li Lei"))
        self.assertTrue(rsa_c["exchange"]["subject"].endswith("CN=Li Lei"))
        self.assertEqual("sm2", sm2_c["type"])
        self.assertTrue(sm2_c["signature"]["subject"].endswith("CN=Han Meimei"))
        self.assertIsNone(sm2_c["exchange"])

    def test_certificates_read_as_the_manager_shows_them(self):
        self.make_keys()
        expected = {"rsa-sign.pem": "RSA with SHA-256", "rsa-exch.pem": "RSA with SHA-256",
                    "sm2-sign.pem": "SM2 with SM3"}
        for name, algorithm in expected.items():
            with self.subTest(certificate=name):
                rows = dict(line.split("\t", 1) for line in
                            self.tarnvkey("cert", os.path.join(self.certs, name)).splitlines() if "\t" in line)
                self.assertEqual(algorithm, rows.get("Signature Algorithm"))
        # Signing and exchange certificates differ in what they allow.
        usage = {}
        for name in ("rsa-sign.pem", "rsa-exch.pem"):
            usage[name] = subprocess.run(["openssl", "x509", "-in", os.path.join(self.certs, name), "-noout",
                                          "-ext", "keyUsage"], capture_output=True, text=True).stdout
        self.assertIn("Digital Signature", usage["rsa-sign.pem"])
        self.assertNotIn("Key Encipherment", usage["rsa-sign.pem"])
        self.assertIn("Key Encipherment", usage["rsa-exch.pem"])
        chains = [["-CAfile", "rsa-ca.pem", "rsa-sign.pem", "rsa-exch.pem"],
                  ["-CAfile", "sm2-ca.pem", "-vfyopt", "distid:1234567812345678", "sm2-sign.pem"]]
        for chain in chains:
            done = subprocess.run(["openssl", "verify", *chain], cwd=self.certs, capture_output=True, text=True)
            self.assertEqual(0, done.returncode, done.stdout + done.stderr)

    def test_second_run_replaces_only_the_demo_keys(self):
        self.tarnvkey("create", "OTHER-1", "--label", "Not the demo's", "--pin", "87654321")
        self.make_keys()
        self.tarnvkey("plug", "DEMO-RSA")
        self.make_keys()
        keys = self.keys()
        self.assertEqual({"DEMO-RSA", "DEMO-SM2", "OTHER-1"}, set(keys))
        self.assertFalse(keys["DEMO-RSA"]["plugged"])
        self.assertEqual("Not the demo's", keys["OTHER-1"]["label"])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--tarnvkey", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
