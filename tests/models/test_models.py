#!/usr/bin/python3
"""cmake/models.py: every bad table gives its message and no output; the
default table is exactly today's four models, byte for byte; the README shows
the default table as it is.

    test_models.py SOURCE_DIR
"""
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SOURCE = Path(sys.argv.pop(1)).resolve() if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]
GENERATOR = SOURCE / "cmake/models.py"
PRINTERS = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\"
DRIVERS = "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT X86\\Drivers\\Version-2\\"
BANTO = b"\xB9\xDD\xC5\xE4 "  # the Hangul word in code page 949


def queue_set(name):
    """A queue's data key, its key, then its driver's key."""
    return [PRINTERS.encode() + name + b"\\PrinterDriverData", PRINTERS.encode() + name, DRIVERS.encode() + name]


def generate(text=None, path=None):
    """Runs the generator on a table; returns its status, stderr and outputs."""
    with tempfile.TemporaryDirectory() as work:
        table = Path(path) if path else Path(work, "t.toml")
        if text is not None:
            table.write_text(text, encoding="utf-8")
        out = Path(work, "out")
        done = subprocess.run([sys.executable, GENERATOR, table, out], capture_output=True, text=True)
        outputs = {p.name: p.read_bytes() for p in out.glob("*")} if out.exists() else {}
        return done.returncode, done.stderr, outputs


def table(keys=("SYSTEM\\A\\B",), queue="Q", selector="1", code_page="1252", more=""):
    """A one-model table with the given fields, in the format users write."""
    listed = ", ".join(f"'{key}'" for key in keys)
    return (f"code_page = {code_page}\n{more}\n[[model]]\nselector = {selector!r}\nqueue = {queue!r}\n"
            f"keys = [{listed}]\n")


class BadTables(unittest.TestCase):
    CASES = [
        # (what, table text, the message must hold)
        ("not TOML", "code_page = 1252\n[[model]\n", "not TOML: "),
        ("unknown field", table(more="vendor = 'x'"), "unknown field 'vendor'"),
        ("unknown model field", table() + "queues = 'x'\n", "model \"1\": unknown field 'queues'"),
        ("missing field", "code_page = 1252\n[[model]]\nselector = '1'\nqueue = 'Q'\n", 'model "1": keys is missing'),
        ("no code page", table().replace("code_page = 1252", ""), "code_page is missing"),
        ("unknown code page", table(code_page="65001"), "code_page: 65001 is not a Windows ANSI code page"),
        ("no model", "code_page = 1252\n", "no [[model]]"),
        ("character outside the code page", table(queue="Pelnora ソ"),
         "model \"1\": queue: 'ソ' (U+30BD) is not in code page 1252"),
        ("key outside the code page", table(keys=["SYSTEM\\반토"]), "keys[1]: '반' (U+BC18) is not in code page 1252"),
        ("two characters for a selector", table(selector="12"), "selector: '12' is not one ASCII letter or digit"),
        ("selector outside ASCII", table(selector="é"), "selector: 'é' is not one ASCII letter or digit"),
        ("selector twice", table() + table().split("\n", 1)[1], 'model "1": selector: another model has the same'),
        ("empty queue", table(queue=""), "queue: must be a printer name, not empty"),
        ("backslash in queue", table(queue="A\\B"), "holds '\\', which Windows refuses in printer names"),
        ("comma in queue", table(queue="A,B"), "holds ',', which Windows refuses in printer names"),
        ("queue too long", table(queue="Q" * 221), "221 characters, more than the 220"),
        ("no keys", table(keys=[]), "keys: must be a list of one or more key paths"),
        ("empty key", table(keys=[""]), "keys[1]: empty"),
        ("key starts with a backslash", table(keys=["\\SYSTEM\\A"]), "starts or ends with '\\'"),
        ("key ends with a backslash", table(keys=["SYSTEM\\A\\"]), "starts or ends with '\\'"),
        ("empty part", table(keys=["SYSTEM\\\\A"]), "holds an empty part"),
        ("part too long", table(keys=["SYSTEM\\" + "x" * 256]), "has 256 characters, more than the registry's 255"),
        ("key twice", table(keys=["SYSTEM\\A", "system\\a"]), "keys[2]: 'system\\a' comes twice (first as key 1)"),
        ("parent first", table(keys=["SYSTEM\\A", "SYSTEM\\A\\B"]),
         "keys[2]: 'SYSTEM\\A\\B' comes after its parent key 'SYSTEM\\A' (key 1), which cannot be deleted "
         "while it has this subkey: list 'SYSTEM\\A\\B' first"),
    ]

    def test_each_bad_table_is_refused_with_its_message(self):
        for what, text, message in self.CASES:
            with self.subTest(what):
                status, errors, outputs = generate(text)
                self.assertEqual(status, 1, errors)
                self.assertIn("t.toml: ", errors)
                self.assertIn(message, errors)
                self.assertIn("no program is built from this table", errors)
                self.assertEqual(outputs, {})

    def test_a_missing_file_is_named(self):
        status, errors, _ = generate(path="/nonexistent/models.toml")
        self.assertEqual(status, 1)
        self.assertIn("/nonexistent/models.toml: no such file", errors)

    def test_sixteen_keys_make_rows_of_sixteen(self):
        status, errors, outputs = generate(table(keys=[f"SOFTWARE\\K{n:02d}" for n in range(16)]))
        self.assertEqual(status, 0, errors)
        self.assertIn(b"kMaxModelKeys = 16;", outputs["model_limits.h"])

    def test_a_0x5c_second_byte_is_no_separator(self):
        # 表 is 95 5C in 932: on bytes, this key would end with "\" and the
        # second would seem to have an empty part.
        status, errors, outputs = generate(table(keys=["SOFTWARE\\表\\x", "SOFTWARE\\表"], queue="表", code_page=932))
        self.assertEqual(status, 0, errors)
        self.assertIn(b'"SOFTWARE\\\\\\x95\\\\\\\\x"', outputs["model_table.inc"])


class DefaultTable(unittest.TestCase):
    """The one place that names today's models by hand: models/default.toml
    must hold exactly these, as code page 949 bytes."""
    PINNED = [
        ("1", [DRIVERS.encode() + BANTO + b"QX-71KG PCL5e"], BANTO + b"QX-4400A PCL5e"),
        ("2", queue_set(b"Korvel Lumaset R9mx PCL 5e") + queue_set(b"Korvel Lumaset R9mx PCL 6"),
         b"Korvel Lumaset R9mx PCL 5e"),
        ("3", queue_set(BANTO + b"QX-7100 PCL5e"), BANTO + b"QX-7150 PCL5e"),
        ("4", queue_set(b"Pelnora 7100 PCL5e"), b"Pelnora 7100 PCL5e"),
    ]

    def test_the_four_models_byte_for_byte(self):
        status, errors, outputs = generate(path=SOURCE / "models/default.toml")
        self.assertEqual(status, 0, errors)
        models = []
        for line in outputs["models.txt"].decode().splitlines():
            kind, *fields = line.split()
            if kind == "model":
                models.append((fields[0], [], None))
            elif kind == "key":
                models[-1][1].append(bytes.fromhex(fields[0]))
            elif kind == "queue":
                models[-1] = (models[-1][0], models[-1][1], bytes.fromhex(fields[0]))
        self.assertEqual(models, self.PINNED)
        self.assertEqual(sum(len(keys) for _, keys, _ in models), 13)
        self.assertIn(b"kMaxModelKeys = 6;", outputs["model_limits.h"])

    def test_the_readme_shows_the_table(self):
        shown = subprocess.run([sys.executable, GENERATOR, "--readme", SOURCE / "models/default.toml"],
                               capture_output=True, text=True, check=True).stdout
        self.assertTrue(shown in (SOURCE / "README.md").read_text(encoding="utf-8"),
                        "README.md's models table differs from models/default.toml: paste in what\n"
                        f"cmake/models.py --readme models/default.toml prints:\n{shown}")


if __name__ == "__main__":
    unittest.main()
