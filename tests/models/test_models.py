#!/usr/bin/python3
"""cmake/models.py: every bad table gives its message and no output; the
default table is exactly today's four models, byte for byte; the README shows
the default table as it is.

    test_models.py SOURCE_DIR
"""
import string
import subprocess
import sys
import tempfile
import tomllib
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
        table = Path(work, path or "t.toml")
        if text is not None:
            table.write_text(text, encoding="utf-8")
        out = Path(work, "out")
        done = subprocess.run([sys.executable, GENERATOR, table, out], capture_output=True, text=True)
        outputs = {p.name: p.read_bytes() for p in out.glob("*")} if out.exists() else {}
        return done.returncode, done.stderr, outputs


def table(keys=("SYSTEM\\A\\B",), queue="Q", selector="1", code_page="1252", more=""):
    """A one-model table with the given fields, in the format users write."""
    listed = ", ".join(f"'{key}'" for key in keys)
    return (f"code_page = {code_page}\n{more}\n[[model]]\nselector = {selector!r}\n"
            + ("" if queue is None else f"queue = {queue!r}\n") + f"keys = [{listed}]\n")


def drivers(*names):
    return table() + f"drivers = [{', '.join(names)}]\n"


# 5,000 models on the 62 selectors there are: 62 faults, one per selector.
MANY = "code_page = 1252\n" + "".join(f"[[model]]\nselector = '{(string.digits + string.ascii_letters)[n % 62]}'\n"
                                      "queue = 'Q'\nkeys = ['A']\n" for n in range(5000))
LONG = "SOFTWARE\\" + "x" * 100 + "\\" + "y" * 127  # 237 characters: 256 with HKEY_LOCAL_MACHINE\


class BadTables(unittest.TestCase):
    CASES = [
        # (what, table text, the message must hold)
        ("not TOML", "code_page = 1252\n[[model]\n", "(at line 2, column 8): write the table as the example in docs/"),
        ("key path in double quotes", table().replace("'SYSTEM\\A\\B'", '"SOFTWARE\\Maker\\Model"'), "not TOML: "
         "Unescaped '\\' in a string (at line 6, column 20): write key paths in single quotes, e.g. 'SOFTWARE\\Maker"),
        ("\\u in double quotes", table().replace("'SYSTEM\\A\\B'", '"SYSTEM\\users"'),
         "not TOML: Invalid hex value (at line 6, column 18): write key paths in single quotes"),
        ("\\t in double quotes", table().replace("'SYSTEM\\A\\B'", '"SOFTWARE\\test"'), "keys[1]: 'SOFTWARE<U+0009>est'"
         " holds U+0009 (a control character), which cannot be seen or typed: remove it, or, where the table writes"),
        ("no queue and no drivers", table(queue=None), 'model "1": queue is missing: give the print queue the'),
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
        ("key that reads back as another", table(keys=["SYSTEM\\X〜1"], code_page=932),
         "keys[1]: '〜' (U+301C) is stored as 81 60 in code page 932, which Windows reads as '～' (U+FF5E)"),
        ("queue that reads back as another", table(queue="¥1", code_page=950), "'¥' (U+00A5) is stored as A2 44"),
        ("driver that reads back as another", drivers("'X−1'").replace("1252", "932"),
         "'−' (U+2212) is stored as 81 7C"),
        ("twice as Windows reads them", table(keys=["SYSTEM\\X－1", "SYSTEM\\X−1"], code_page=932),
         "keys[2]: 'SYSTEM\\X−1' (read by Windows as 'SYSTEM\\X－1') comes twice (first as key 1)"),
        ("parent as Windows reads it", table(keys=["SYSTEM\\A〜B", "SYSTEM\\A～B\\Sub"], code_page=932),
         "comes after its parent key 'SYSTEM\\A〜B' (read by Windows as 'SYSTEM\\A～B') (key 1)"),
        ("ß twice, one character for one", table(keys=["SYSTEM\\Straße", "SYSTEM\\STRAßE"]), "comes twice"),
        ("code page as a decimal", table(code_page="949.0"), "code_page: 949.0 is not a Windows ANSI code page: "
         "write it as a whole number: code_page = 949"),
        ("code page in quotes", table(code_page="'949'"), "write it as a number, without quotes: code_page = 949"),
        ("selector as a list", table(selector=["4"]), "model 1: selector: must be a string, in quotes"),
        ("selector as a number", table(selector=4), 'model 1: selector: must be a string, in quotes: selector = "4"'),
        ("queue as a number", table(queue=5), "queue: must be a printer name, a string in quotes, not a whole number"),
        ("keys as a string", table().replace("keys = ['SYSTEM\\A\\B']", "keys = 'A'"), "keys: must be a list"),
        ("key as a date", table().replace("B']", "B', 1979-05-27]"), "keys[2]: must be a key path, a string in quotes, "
         "not a date or time"),
        ("model not a table", "code_page = 1252\nmodel = 3\n", "model must be [[model]] tables, not a whole number"),
        ("C1 control", table(keys=["SYSTEM\\A\x80B"]), "holds U+0080 (a control character), which cannot be seen"),
        ("soft hyphen", table(keys=["SYSTEM\\A\xadB"]), "holds U+00AD (SOFT HYPHEN)"),
        ("direction mark", drivers("'A\u200eB'"), "drivers[1]: 'A<U+200E>B' holds U+200E (LEFT-TO-RIGHT MARK)"),
        ("escape sequence", table().replace("queue = 'Q'", 'queue = "A\\u001b[2JB"'), "'A<U+001B>[2JB' holds U+001B"),
        ("whole key name too long", table(keys=[LONG]), "has 256 characters with 'HKEY_LOCAL_MACHINE\\' in front, "
         "more than the 255 the registry allows in a key name, which includes the path from the base key "
         "(https://learn.microsoft.com/en-us/windows/win32/sysinfo/registry-element-size-limits)"),
        ("5,000 clashing selectors", MANY, 'model "0": selector: 80 other models have the same selector (81 models, '
         "at positions 1, 63, 125, 187, 249, 311, 373, 435, 497, 559, ... in the file)"),
        ("thousands of faults", MANY, "t.toml: ... and 12 more\n"),
        ("registry view not 64", table(more="registry_view = 32"), "registry_view: 32 is not a registry view: give 64, "
         "or leave it out"),
        ("registry view in quotes", table(more="registry_view = '64'"), "without quotes: registry_view = 64"),
        ("programs' folder climbing out", table(more="programs_folder = 'Pelnora\\..\\x'"),
         "programs_folder: 'Pelnora\\..\\x': give one to a few folder names joined by \\"),
        ("programs' folder with a batch character", table(more="programs_folder = 'A&B'"), "('A&B' is not one)"),
        ("drivers not a list", table() + "drivers = 'D'\n", "drivers: must be a list of one or more printer driver "
         "names, not a string"),
        ("empty driver name", drivers("'D'", "' '"), "drivers[2]: must be a driver name, not empty"),
        ("comma in a driver name", drivers("'D,1'"), "drivers[1]: 'D,1' holds ',': no Microsoft page says whether "
         "Windows allows it in a driver name, so the table refuses it to be safe"),
        ("backslash in a driver name", drivers("'Other PCL6\\'"), "drivers[1]: 'Other PCL6\\' holds '\\', which no "
         "driver name can hold"),
        ("driver twice in another case", drivers("'Pelnora D'", "'PELNORA d'"), "drivers[2]: 'PELNORA d' comes twice "
         "(first as driver 1)"),
        ("driver name too long", drivers(f"'{'D' * 256}'"), "drivers[1]: 256 characters, more than the 255"),
        ("unknown driver field", table() + "driver = ['D']\n", "model \"1\": unknown field 'driver'"),
        ("packages without drivers", table() + "packages = ['p.inf']\n", "model \"1\": packages: a model's packages "
         "are those of its drivers: give drivers too"),
        ("packages not a list", drivers("'D'") + "packages = 'p.inf'\n", "packages: must be a list of one or more INF "
         "file names"),
        ("empty package", drivers("'D'") + "packages = ['p.inf', '']\n", "packages[2]: must be an INF file name"),
        ("package as a path", drivers("'D'") + "packages = ['x\\p.inf']\n", "packages[1]: 'x\\p.inf' is a path: give"),
        ("package with a slash", drivers("'D'") + "packages = ['x/p.inf']\n", "packages[1]: 'x/p.inf' is a path"),
        ("package not an INF", drivers("'D'") + "packages = ['p.cat']\n", "packages[1]: 'p.cat' does not end in '.inf'"),
        ("package named as in C:\\Windows\\INF", drivers("'D'") + "packages = ['OEM12.inf']\n",
         "packages[1]: 'OEM12.inf' is the name Windows gives its copy"),
        ("package twice in another case", drivers("'D'") + "packages = ['p.inf', 'P.INF']\n",
         "packages[2]: 'P.INF' comes twice (first as package 1)"),
        ("package name too long", drivers("'D'") + f"packages = ['{'p' * 252}.inf']\n",
         "packages[1]: 256 characters, more than the 255"),
        ("bound 0", drivers("{ name = 'D', below = '0.0' }"), "drivers[1]: below: '0.0' is 0.0.0.0, which no version"),
        ("bound part over 65535", drivers("{ name = 'D', below = '6.65536' }"), "'6.65536' has a part over 65535"),
        ("bound as DriverVer", drivers("{ name = 'D', below = '06/21/2019,6.3' }"), "DriverVer's date and version"),
        ("bound as a number", drivers("{ name = 'D', below = 6.3 }"), "in quotes, below = \"6.3\""),
        ("unknown field of a driver", drivers("{ name = 'D', version = '6.3' }"), "unknown field 'version'"),
        ("bound without a name", drivers("{ below = '6.3' }"), "drivers[1]: name is missing: write { name ="),
        ("driver as a table without a bound", drivers("{ name = 'D' }"), "drivers[1]: below is missing"),
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
                self.assertNotIn("Traceback", errors)
                self.assertTrue(errors.replace("\n", "").isprintable(), "a character reached the terminal raw")
                self.assertLessEqual(errors.count("\n"), 52)

    def test_a_refused_table_leaves_no_program_in_its_build_folder(self):
        # Programs built from an earlier table would otherwise be shipped by mistake.
        with tempfile.TemporaryDirectory() as work:
            for name, text in (("prnuninst.exe", "MZ"), ("prncheck.exe", "MZ"), ("bad.toml", table(queue=""))):
                Path(work, name).write_text(text, encoding="utf-8")
            done = subprocess.run([SOURCE / "scripts/build", "--fresh-in", work, "--models", Path(work, "bad.toml"),
                                   "win32"], capture_output=True, text=True)
            self.assertIn("no program is built from this table", done.stdout)
            self.assertEqual(list(Path(work).glob("*.exe")), [])

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


class GoodTables(unittest.TestCase):
    TRIGRAPHS = table(keys=["SYSTEM\\??=??(??)??!??<??>??-", "SYSTEM\\??/"], queue="Q??'??/?")
    CASES = [
        ("Straße and STRASSE are two keys", table(keys=["SYSTEM\\Straße", "SYSTEM\\STRASSE"])),
        ("a UTF-8 BOM", "\ufeff" + table()),
        ("a whole key name of 255 characters", table(keys=[LONG[:-1]])),
        ("trigraphs", TRIGRAPHS),
    ]

    def test_each_good_table_is_built(self):
        for what, text in self.CASES:
            with self.subTest(what):
                self.assertEqual(generate(text)[:2], (0, ""))

    def test_a_line_break_in_the_file_name_stays_in_the_comment(self):
        status, errors, outputs = generate(table(), path="a\nb.toml")
        self.assertEqual(status, 0, errors)
        self.assertTrue(outputs["model_table.inc"].startswith(b"// Made by cmake/models.py from a<U+000A>b.toml: "))

    def test_the_rows_compile_to_the_bytes_of_models_txt(self):
        """Under the build's own flags and under a compiler that reads
        trigraphs, each name's literal is exactly its bytes."""
        main = ('#include <cstdio>\n#include "removal.h"\nconstexpr ModelEntry kModels[] = {\n'
                '#include "model_table.inc"\n};\nstatic void Put(const char* kind, const char* s) {\n'
                '  std::printf("%s ", kind);\n  while (*s) std::printf("%02x", static_cast<unsigned char>(*s++));\n'
                '  std::printf("\\n");\n}\nint main() {\n  for (const ModelEntry& m : kModels) {\n'
                '    std::printf("model %c\\n", m.selector);\n    for (unsigned i = 0; i < m.keyCount; ++i) '
                'Put("key", m.keys[i]);\n    Put("queue", m.printerName);\n#if PRNUNINST_MODEL_DRIVERS\n'
                '    for (unsigned i = 0; i < m.driverCount; ++i) Put("driver", m.drivers[i]);\n'
                '    for (unsigned i = 0; i < m.packageCount; ++i) Put("package", m.packages[i]);\n#endif\n  }\n}\n')
        # A bound beside a model without drivers, whose row still has bounds.
        bounded = drivers("{ name = 'D', below = '6.3' }") + table(selector="2").split("\n", 1)[1]
        for name, text in [("trigraphs", self.TRIGRAPHS), ("bounded", bounded)] + [
                (p.name, p.read_text(encoding="utf-8")) for p in sorted((SOURCE / "models").glob("*.toml"))]:
            status, errors, outputs = generate(text)
            self.assertEqual(status, 0, errors)
            want = [" ".join(line.split()[:2]) for line in outputs.pop("models.txt").decode().splitlines()[1:]
                    if not line.startswith("registry_view")]
            with tempfile.TemporaryDirectory() as work:
                for file, data in outputs.items():
                    Path(work, file).write_bytes(data)
                Path(work, "windows.h").write_text("typedef char CHAR;\ntypedef const char* LPCSTR;\n"
                                                   "typedef unsigned long long DWORDLONG;\n"
                                                   "typedef struct HINSTANCE__* HMODULE;\ntypedef void* HANDLE;\n"
                                                   "typedef const wchar_t* LPCWSTR;\n")
                Path(work, "main.cpp").write_text(main)
                for flags in (["-std=gnu++17"], ["-std=c++14", "-trigraphs"]):
                    with self.subTest(name, flags=flags):
                        subprocess.run(["c++", *flags, "-Wall", "-Wextra", "-Werror", "-I", work, "-I",
                                        SOURCE / "src/removal", Path(work, "main.cpp"), "-o", Path(work, "rows")],
                                       check=True)
                        got = subprocess.run([Path(work, "rows")], capture_output=True, text=True, check=True)
                        self.assertEqual(got.stdout.splitlines(), want)


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

    def test_every_table_keeps_every_name(self):
        # Read apart from the generator: a name it dropped or reordered on the
        # way would drop out of the program and of every test built on models.txt.
        for path in sorted((SOURCE / "models").glob("*.toml")) + [SOURCE / "tests/models/drivers-only.toml"]:
            with self.subTest(path.name):
                data = tomllib.loads(path.read_text(encoding="utf-8-sig"))
                codec = f"cp{data['code_page']}"
                want = [f"code_page {data['code_page']}"]
                if "registry_view" in data:
                    want.append(f"registry_view {data['registry_view']}")
                for model in data["model"]:
                    want.append(f"model {model['selector']}")
                    queue = [("queue", model["queue"])] if "queue" in model else []
                    for kind, name in ([("key", k) for k in model["keys"]] + queue
                                       + [("driver", d) for d in model.get("drivers", [])]
                                       + [("package", p) for p in model.get("packages", [])]):
                        bound = ""  # a driver with a bound: its name, then the bound in four parts
                        if isinstance(name, dict):
                            parts = name["below"].split(".")
                            name, bound = name["name"], " " + ".".join(parts + ["0"] * (4 - len(parts)))
                        want.append(f"{kind} {name.encode(codec).hex()} {name.encode().hex()}{bound}")
                status, errors, outputs = generate(path=path)
                self.assertEqual(status, 0, errors)
                self.assertEqual(outputs["models.txt"].decode().splitlines(), want)

    def test_the_readme_shows_the_table(self):
        for option, page in (("--readme", "README.md"), ("--keys", "docs/models.md")):
            shown = subprocess.run([sys.executable, GENERATOR, option, SOURCE / "models/default.toml"],
                                   capture_output=True, text=True, check=True).stdout
            self.assertTrue(shown in (SOURCE / page).read_text(encoding="utf-8"),
                            f"{page}'s models table differs from models/default.toml: paste in what\n"
                            f"cmake/models.py {option} models/default.toml prints:\n{shown}")


if __name__ == "__main__":
    unittest.main()
