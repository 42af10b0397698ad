#!/usr/bin/python3
"""Turns a model table (models/*.toml) into the program's compiled-in table,
after checking every rule that a table must keep to be removed exactly.

    models.py TABLE OUTDIR [PROGRAM...]
                              writes OUTDIR/model_table.inc (the rows),
                              OUTDIR/model_limits.h (the longest key list, and
                              the features the table uses) and
                              OUTDIR/models.txt (every name as bytes and as
                              text, for the tests)
    models.py --readme TABLE  prints the table as the README shows it (selector,
                              queue, count of keys)
    models.py --keys TABLE    prints every key in its order, as docs/models.md
                              shows the default table
    models.py --locale TABLE  prints the Unix locale under which Wine runs
                              with the table's code page (for the tests)
    models.py --kit TABLE     prints the programs' folder under Program Files
                              and the selectors, one line each, for the
                              fleet kit (scripts/fleet-kit)

A table that breaks a rule gives one message per fault, naming the file, the
model (by its selector) and the field, and no output is written; each PROGRAM
(the build's programs made from the table) is deleted, so that none built from
an earlier table is left to be shipped by mistake.
"""
import datetime
import re
import sys
import tomllib
import unicodedata
from pathlib import Path

# The ANSI code pages Windows can run with (names are stored as their bytes),
# and the Unix locale under which Wine runs with each: it takes its ANSI code
# page from the locale.
LOCALES = {874: "th_TH", 932: "ja_JP", 936: "zh_CN", 949: "ko_KR", 950: "zh_TW", 1250: "pl_PL", 1251: "ru_RU",
           1252: "C", 1253: "el_GR", 1254: "tr_TR", 1255: "he_IL", 1256: "ar_EG", 1257: "lt_LT", 1258: "vi_VN"}
ANSI_CODE_PAGES = tuple(LOCALES)
FIELDS = {"selector", "queue", "keys"}
OPTIONAL_FIELDS = {"drivers", "packages"}
# A model with drivers finds its queues by driver, under any name.
OPTIONAL_WITH_DRIVERS = {"queue"}
REGISTRY_VIEWS = (64,)
# Where the fleet kit puts both programs, under Program Files, when a table
# names no folder of its own. Its parts go into batch files and PowerShell
# strings as they stand: only characters neither reads as syntax.
PROGRAMS_FOLDER = "Example\\prnuninst"
FOLDER_PART = re.compile(r"[A-Za-z0-9_-]([A-Za-z0-9 ._-]{0,62}[A-Za-z0-9_-])?")
# "Key name: 255 characters. The key name includes the absolute path of the
# key in the registry, always starting at a base key": the whole path with
# HKEY_LOCAL_MACHINE\ in front, and so each part, too.
REGISTRY_LIMITS = "https://learn.microsoft.com/en-us/windows/win32/sysinfo/registry-element-size-limits"
BASE_KEY = "HKEY_LOCAL_MACHINE\\"
MAX_KEY_NAME = 255
MAX_QUEUE = 220         # the print spooler's limit on a printer name
# A driver is registered as a key of its name (Environments\<env>\Drivers\
# Version-<n>\<name>), so no longer name can be installed; the protocol leaves
# the limit to the implementation.
MAX_DRIVER = MAX_KEY_NAME
# What a list of names is called in the messages, one of its names, and its limit.
NAMES = {
    "driver": ("printer driver names", "a driver name",
               f"a registry key name (and so a driver name) can have ({REGISTRY_LIMITS})"),
    "package": ('INF file names, e.g. ["pel7100.inf"]', "an INF file name", "a file name can have"),
}
PRINT = "SYSTEM\\CurrentControlSet\\Control\\Print\\"
# A driver with a bound: { name = "...", below = "6.3" }. The bound is a driver
# version as the spooler reports it (DRIVER_INFO_6's dwlDriverVersion): four
# 16-bit parts, most significant first, as an INF's DriverVer writes them.
BOUND_FIELDS = ("name", "below")
BOUND_EXAMPLE = '{ name = "Pelnora 7100 PCL6", below = "6.3" }'
VERSION = re.compile(r"[0-9]+(?:\.[0-9]+){0,3}")
# A table with thousands of faults is one mistake repeated: show the first.
MAX_SHOWN = 50
# Characters that cannot be seen or typed: controls (C0 and C1), format
# characters (soft hyphen, zero-width and direction marks, BOM) and separators.
INVISIBLE = {"Cc", "Cf", "Cs", "Zl", "Zp"}


def shown(text):
    """Text safe for a terminal and a log: every character that does not print
    as itself (an escape, a direction mark, a line break) as <U+XXXX>."""
    return "".join(c if c.isprintable() else f"<U+{ord(c):04X}>" for c in str(text))


def q(text):
    """A name as the table writes it: in quotes, backslashes as they stand."""
    return f"'{text}'"


def code(c):
    return f"U+{ord(c):04X}"


def units(text):
    """The length Windows counts: UTF-16 code units."""
    return len(text.encode("utf-16-le")) // 2


def registry_case(text):
    """A name as the registry compares it, without regard to case: each
    character upper-cased on its own, one for one. Never casefold(), which
    takes 'ß' for 'ss': Windows keeps Straße and STRASSE apart."""
    return "".join(u if len(u := c.upper()) == 1 else c for c in text)


def kind(value):
    """A value's type as TOML calls it."""
    for types, name in ((bool, "true or false"), (str, "a string"), (int, "a whole number"),
                        (float, "a decimal number"), (list, "a list"), (dict, "a table"),
                        ((datetime.date, datetime.time), "a date or time")):
        if isinstance(value, types):
            return name
    return type(value).__name__


class Table:
    def __init__(self, path):
        self.path = path
        self.faults = []
        self.code_page = None
        self.registry_view = None  # 64, or None: the view of a 32-bit program
        self.programs_folder = PROGRAMS_FOLDER
        # (selector, [key text], queue text or None, [driver text] or None, [package text] or None)
        self.models = []
        self.bounds = []  # for each model, each driver's bound (0: none)

    def fault(self, where, message):
        # Names may hold anything: nothing reaches the terminal raw.
        self.faults.append(shown(f"{self.path}: {where}{message}"))

    def windows_text(self, where, text, what):
        """The name as Windows will read it from its code-page bytes. A
        character that the code page lacks is a fault, and so is one that the
        codec stores as the bytes of another; the text is then as written."""
        cp = f"cp{self.code_page}"
        try:
            data = text.encode(cp)
        except UnicodeEncodeError as error:
            bad = text[error.start]
            self.fault(where, f"{q(bad)} ({code(bad)}) is not in code page {self.code_page}: {q(text)}")
            return text
        try:
            back = data.decode(cp)
        except UnicodeDecodeError:
            back = None
        if back != text:
            for c in text:
                stored = c.encode(cp)
                read = stored.decode(cp, "replace")
                if read != c:
                    self.fault(where, f"{q(c)} ({code(c)}) is stored as {stored.hex(' ').upper()} in code page "
                                      f"{self.code_page}, which Windows reads as {q(read)} "
                                      f"({', '.join(map(code, read))}): {q(text)} would name another {what} than the "
                                      f"table shows; write {q(read)} if that is the name")
                    break
            else:
                self.fault(where, f"{q(text)} is stored as {data.hex(' ').upper()} in code page {self.code_page}, "
                                  "which Windows does not read back as the same text")
        return back if back is not None else text

    def visible(self, where, text):
        bad = next((c for c in text if unicodedata.category(c) in INVISIBLE), None)
        if bad is not None:
            name = unicodedata.name(bad, "a control character" if unicodedata.category(bad) == "Cc" else "")
            # In double quotes TOML reads \t, \n, \b, \f and \r as these.
            escape = dict(zip("\b\t\n\f\r", "btnfr")).get(bad)
            self.fault(where, f"{q(text)} holds {code(bad)} ({name or 'a character'}), which cannot be seen or "
                              "typed: remove it" + (f", or, where the table writes '\\{escape}' in double quotes, "
                                                    "write the name in single quotes" if escape else ""))


def must_be_string(table, where, value, what):
    if isinstance(value, str):
        return True
    table.fault(where, f"must be {what}, a string in quotes, not {kind(value)}")
    return False


def check_queue(table, where, queue):
    if not must_be_string(table, where, queue, "a printer name"):
        return
    if not queue:
        table.fault(where, "must be a printer name, not empty")
        return
    for refused in "\\,":
        if refused in queue:
            table.fault(where, f"{q(queue)} holds {q(refused)}, which Windows refuses in printer names")
    table.visible(where, queue)
    text = table.windows_text(where, queue, "printer")
    if units(text) > MAX_QUEUE:
        table.fault(where, f"{units(text)} characters, more than the {MAX_QUEUE} Windows allows in a printer name")


def check_names(table, where, names, what, rules):
    """A list of one or more names of WHAT ("driver", "package"), each a
    string that is not blank, keeps RULES(at, name), reads back from the
    code page, is not too long and comes once."""
    many, one, limit = NAMES[what]
    if not isinstance(names, list) or not names:
        table.fault(f"{where}: ", f"must be a list of one or more {many}, not "
                                  f"{'an empty list' if names == [] else kind(names)}")
        return
    seen = {}
    for n, name in enumerate(names, 1):
        at = f"{where}[{n}]: "
        if name is None or not must_be_string(table, at, name, one):
            continue
        # An empty driver name would make some spoolers (Wine's) delete every
        # driver of the environment.
        if not name.strip():
            table.fault(at, f"must be {one}, not empty")
            continue
        rules(table, at, name)
        table.visible(at, name)
        text = table.windows_text(at, name, what)
        if units(text) > MAX_DRIVER:
            table.fault(at, f"{units(text)} characters, more than the {MAX_DRIVER} {limit}")
        once(table, at, seen, text, name, what, n)


def driver_rules(table, at, name):
    if "," in name:
        table.fault(at, f"{q(name)} holds ',': no Microsoft page says whether Windows allows it in a driver "
                        "name, so the table refuses it to be safe")
    # A driver is registered as a key of its name: with a backslash, the
    # spooler's deletion would reach into another driver's key, or delete it.
    if "\\" in name:
        table.fault(at, f"{q(name)} holds '\\', which no driver name can hold: a driver is registered as a "
                        "registry key of its name")


def package_rules(table, at, name):
    """The INF files whose driver packages the model may delete: file names
    only, as the driver store keeps them at the end of an INF path."""
    if "\\" in name or "/" in name:
        table.fault(at, f"{q(name)} is a path: give the INF's file name only, e.g. 'pel7100.inf'")
    elif not name.lower().endswith(".inf"):
        table.fault(at, f"{q(name)} does not end in '.inf': give the file name of the package's INF")
    elif re.fullmatch(r"oem[0-9]+\.inf", name, re.IGNORECASE):
        table.fault(at, f"{q(name)} is the name Windows gives its copy of an INF in C:\\Windows\\INF, which "
                        "differs from machine to machine: give the INF's own file name, as the driver store "
                        "keeps it (DriverStore\\FileRepository\\<name>_<arch>_<hash>)")


def check_programs_folder(table, where, folder):
    if not must_be_string(table, where, folder, "a folder under Program Files, e.g. 'Pelnora\\prnuninst'"):
        return
    parts = folder.split("\\")
    bad = next((part for part in parts if not FOLDER_PART.fullmatch(part)), None)
    if bad is not None or len(folder) > 120:
        table.fault(where, f"{q(folder)}: give one to a few folder names joined by \\, each of ASCII letters, "
                           "digits, blanks, '.', '_' and '-', not beginning or ending with a blank or '.', 120 "
                           "characters in all, e.g. 'Pelnora\\prnuninst'" + (f" ({q(bad)} is not one)" if bad else ""))
        return
    table.programs_folder = folder


def version(text):
    """A bound as the 64-bit number the spooler compares, missing parts 0
    ("6.3" is 6.3.0.0); None when it is no version."""
    if not isinstance(text, str) or not VERSION.fullmatch(text):
        return None
    parts = [int(part) for part in text.split(".")] + [0] * (3 - text.count("."))
    return sum(part << (48 - 16 * n) for n, part in enumerate(parts)) if max(parts) <= 0xFFFF else None


def shown_version(value):
    return ".".join(str(value >> shift & 0xFFFF) for shift in (48, 32, 16, 0))


def driver_names(drivers):
    """The names and bounds (0: none) of a list of drivers, each a name or
    an inline table with its bound."""
    if not isinstance(drivers, list):
        return drivers, []
    return ([d.get("name") if isinstance(d, dict) else d for d in drivers],
            [(version(d.get("below")) or 0) if isinstance(d, dict) else 0 for d in drivers])


def check_bound(table, at, driver):
    for field in sorted(set(driver) - set(BOUND_FIELDS)):
        table.fault(at, f"unknown field {q(field)}: a driver is its name, or {BOUND_EXAMPLE}")
    for field in BOUND_FIELDS:
        if field not in driver:
            table.fault(at, f"{field} is missing: write {BOUND_EXAMPLE}, or the name alone for every version")
    below = driver.get("below")
    if "below" not in driver or version(below) is not None and version(below) != 0:
        return
    if isinstance(below, (int, float)) and not isinstance(below, bool):
        table.fault(at, f"below: TOML reads {below!r} as a number: write the version in quotes, below = \"{below}\"")
    elif not isinstance(below, str):
        table.fault(at, f"below: must be a driver version, a string in quotes, not {kind(below)}")
    elif not VERSION.fullmatch(below):
        table.fault(at, f"below: {q(below)} is not a driver version: give one to four whole numbers separated by "
                        "dots, e.g. '6.3' or '6.3.0.12'" + (": of DriverVer's date and version, give the "
                                                           "version only" if "," in below else ""))
    elif version(below) is None:
        table.fault(at, f"below: {q(below)} has a part over 65535, the most each of a driver version's four "
                        "parts can be")
    else:
        table.fault(at, f"below: {q(below)} is 0.0.0.0, which no version is below: the driver would never be "
                        "removed; give the first version that is not this model's, e.g. the successor's")


def check_drivers(table, where, drivers):
    for n, driver in enumerate(drivers if isinstance(drivers, list) else [], 1):
        if isinstance(driver, dict):
            check_bound(table, f"{where}[{n}]: ", driver)
    check_names(table, where, driver_names(drivers)[0], "driver", driver_rules)


def check_packages(table, where, packages):
    check_names(table, where, packages, "package", package_rules)


def check_keys(table, where, keys, drivers=False):
    if not isinstance(keys, list) or not (keys or drivers):
        table.fault(f"{where}: ", "must be a list of one or more key paths under HKEY_LOCAL_MACHINE"
                                  + (" (it may be empty when the model has drivers)" if not drivers else "")
                                  + f", not {'an empty list' if keys == [] else kind(keys)}")
        return
    seen, texts = {}, {}
    for n, key in enumerate(keys, 1):
        at = f"{where}[{n}]: "
        if not must_be_string(table, at, key, "a key path"):
            continue
        if not key:
            table.fault(at, "empty")
            continue
        if key.startswith("\\") or key.endswith("\\"):
            table.fault(at, f"{q(key)} starts or ends with '\\': give the path under HKEY_LOCAL_MACHINE")
        elif "\\\\" in key:
            table.fault(at, f"{q(key)} holds an empty part ('\\\\')")
        table.visible(at, key)
        # Windows turns the whole path into text before it splits it, so split
        # the text, never the bytes: in 932, 936 and 950 a character's second
        # byte can be 0x5C, the byte of "\".
        text = table.windows_text(at, key, "key")
        if units(BASE_KEY + text) > MAX_KEY_NAME:
            table.fault(at, f"{q(BASE_KEY + key[:40])}... has {units(BASE_KEY + text)} characters with "
                            f"{q(BASE_KEY)} in front, more than the {MAX_KEY_NAME} the registry allows in a key "
                            f"name, which includes the path from the base key ({REGISTRY_LIMITS})")
        for part in text.split("\\"):
            if units(part) > MAX_KEY_NAME:
                table.fault(at, f"the part {q(part[:20])}... has {units(part)} characters, more than the registry's "
                                f"{MAX_KEY_NAME} for one key name ({REGISTRY_LIMITS})")
        folded = once(table, at, seen, text, key, "key", n)
        if folded is None:
            continue
        # RegDeleteKeyA cannot delete a key that still has a subkey.
        for earlier, index in seen.items():
            if folded.startswith(earlier + "\\"):
                parent = keys[index - 1]
                table.fault(at, f"{q(key)}{read_as(text, key)} comes after its parent key {q(parent)}"
                                f"{read_as(texts[index], parent)} (key {index}), which cannot be deleted while it has "
                                f"this subkey: list {q(key)} first")
        texts[n] = text


def once(table, at, seen, text, written, kind, n):
    """Records name N as Windows reads it (names do not depend on case, so
    two spellings of one name are one) and returns it folded; a name seen
    before is a fault, and None."""
    folded = registry_case(text)
    if folded in seen:
        table.fault(at, f"{q(written)}{read_as(text, written)} comes twice (first as {kind} {seen[folded]})")
        return None
    seen[folded] = n
    return folded


def read_as(text, written):
    return "" if text == written else f" (read by Windows as {q(text)})"


def number(table, field, value, allowed, what, suffix=""):
    """A field that is a whole number from `allowed`, or None (a fault)."""
    if isinstance(value, int) and not isinstance(value, bool) and value in allowed:
        return value
    if isinstance(value, str) and value.strip().isdigit():
        hint = f"write it as a number, without quotes: {field} = {value.strip()}"
    elif isinstance(value, float) and value.is_integer():
        hint = f"write it as a whole number: {field} = {int(value)}"
    else:
        choices = f"{', '.join(map(str, allowed[:-1]))} or {allowed[-1]}" if len(allowed) > 1 else str(allowed[0])
        hint = f"give {choices}" + ("" if isinstance(value, int) and not isinstance(value, bool)
                                    else f", a whole number, not {kind(value)}")
    table.fault(f"{field}: ", f"{value!r} is not {what}: {hint}{suffix}")
    return None


def guarded(table, where, check, *arguments):
    """Runs one field's check; anything it did not foresee is a fault, not a
    traceback."""
    try:
        check(table, where, *arguments)
    except Exception as error:  # noqa: BLE001 (any table must give a message)
        table.fault(where if where.endswith(": ") else f"{where}: ",
                    f"cannot be checked ({type(error).__name__}: {error}): write it as docs/models.md shows")


def toml_hint(message):
    """What to do about the parser's message. Most often a key path written in
    double quotes, where TOML takes every backslash for an escape ('\\M' is
    none, '\\u' wants hex digits)."""
    if "'\\'" in message or "hex value" in message or "Escaped character" in message:
        return ("write key paths in single quotes, e.g. 'SOFTWARE\\Maker\\Model' (in TOML a single-quoted string "
                "takes backslashes as they are)")
    return "write the table as the example in docs/models.md (\"The table\") shows"


def load(path):
    table = Table(path)
    try:
        # A byte-order mark at the start is what some editors save: skip it.
        data = tomllib.loads(Path(path).read_text(encoding="utf-8-sig"))
    except FileNotFoundError:
        table.fault("", "no such file")
        return table
    except UnicodeDecodeError as error:
        table.fault("", f"not UTF-8 text (byte {error.object[error.start]:02X} at offset {error.start}): "
                        "save the table as UTF-8")
        return table
    except OSError as error:
        table.fault("", f"cannot read it: {error.strerror or error}")
        return table
    except tomllib.TOMLDecodeError as error:
        table.fault("", f"not TOML: {error}: {toml_hint(str(error))}")
        return table
    try:
        check_table(table, data)
    except Exception as error:  # noqa: BLE001
        table.fault("", f"cannot be checked ({type(error).__name__}: {error}): write it as docs/models.md shows")
    return table


def check_table(table, data):
    for field in sorted(set(data) - {"code_page", "registry_view", "programs_folder", "model"}):
        table.fault("", f"unknown field {q(field)} (a table has code_page, registry_view, programs_folder and "
                        "[[model]])")
    if "programs_folder" in data:
        guarded(table, "programs_folder: ", check_programs_folder, data["programs_folder"])
    if "registry_view" in data:
        table.registry_view = number(table, "registry_view", data["registry_view"], REGISTRY_VIEWS,
                                     "a registry view", ", or leave it out for the view of a 32-bit program")
    if "code_page" not in data:
        table.fault("", "code_page is missing: give the ANSI code page of the machines, e.g. code_page = 1252")
        return
    table.code_page = number(table, "code_page", data["code_page"], ANSI_CODE_PAGES, "a Windows ANSI code page")
    if table.code_page is None:
        return

    models = data.get("model")
    if not isinstance(models, list) or not models:
        table.fault("", "no [[model]]: a table lists at least one model" if models in (None, [])
                    else f"model must be [[model]] tables, not {kind(models)}")
        return
    selectors = {}
    for n, model in enumerate(models, 1):
        if not isinstance(model, dict):
            table.fault(f"model {n}: ", f"must be a [[model]] table, not {kind(model)}")
            continue
        selector = model.get("selector")
        name = f'model "{selector}"' if isinstance(selector, str) else f"model {n}"
        for field in sorted(set(model) - FIELDS - OPTIONAL_FIELDS):
            table.fault(f"{name}: ", f"unknown field {q(field)} (a model has "
                                     f"{', '.join(sorted(FIELDS | OPTIONAL_FIELDS))})")
        for field in sorted(FIELDS - set(model) - (OPTIONAL_WITH_DRIVERS if "drivers" in model else set())):
            table.fault(f"{name}: ", f"{field} is missing" + (": give the print queue the spooler is asked to "
                                                              "delete, or the model's drivers, which find its queues"
                                                              if field == "queue" else ""))
        if "selector" in model:
            if not isinstance(selector, str):
                example = next((s for s in (selector if isinstance(selector, list) else [selector])
                                if isinstance(s, (str, int)) and not isinstance(s, bool) and len(str(s)) == 1), 4)
                table.fault(f"{name}: selector: ", f"must be a string, in quotes: selector = \"{example}\"")
            elif not (len(selector) == 1 and selector.isascii() and selector.isalnum()):
                table.fault(f"{name}: selector: ", f"{q(selector)} is not one ASCII letter or digit")
            else:
                selectors.setdefault(selector, []).append(n)
        if "queue" in model:
            guarded(table, f"{name}: queue: ", check_queue, model["queue"])
        if "drivers" in model:
            guarded(table, f"{name}: drivers", check_drivers, model["drivers"])
        if "packages" in model:
            if "drivers" in model:
                guarded(table, f"{name}: packages", check_packages, model["packages"])
            else:
                table.fault(f"{name}: packages: ", "a model's packages are those of its drivers: give drivers too, "
                                                   "or leave packages out")
        if "keys" in model:
            guarded(table, f"{name}: keys", check_keys, model["keys"], "drivers" in model)
        names, bounds = driver_names(model.get("drivers"))
        table.models.append((selector, model.get("keys"), model.get("queue"), names, model.get("packages")))
        table.bounds.append(bounds)
    # One message per shared selector, however many models share it.
    for selector, numbers in selectors.items():
        if len(numbers) > 1:
            listed = ", ".join(map(str, numbers[:10])) + (", ..." if len(numbers) > 10 else "")
            others = "another model has" if len(numbers) == 2 else f"{len(numbers) - 1} other models have"
            table.fault(f'model "{selector}": selector: ', f"{others} the same selector ({len(numbers)} models, at "
                                                            f"positions {listed} in the file); give each model its own")


def literal(data):
    """A C++ string literal of exactly these bytes. A \\x escape takes every
    hex digit after it, so a hex digit after one starts a new literal. Every
    '?' is written \\?, so that no trigraph (??- is ~) forms: a compiler that
    reads them would change the bytes, and GCC refuses them under -Werror."""
    out = '"'
    escaped = False
    for byte in data:
        char = chr(byte)
        if escaped and char in "0123456789abcdefABCDEF":
            out += '" "'
        escaped = False
        if char in '\\"?':
            out += "\\" + char
        elif 0x20 <= byte < 0x7F:
            out += char
        else:
            out += f"\\x{byte:02X}"
            escaped = True
    return out + '"'


def comment(text):
    """Text for a // comment: a line break would end it, a '\\' at the end (or
    the trigraph ??/) would join the next line to it, so only printable ASCII
    but those two stays as it is."""
    return "".join(c if " " <= c <= "~" and c not in "\\?" else f"<U+{ord(c):04X}>" for c in text)


def write(table, folder):
    cp = f"cp{table.code_page}"
    folder.mkdir(parents=True, exist_ok=True)
    # Rows carry drivers only in a table that names some: every other table
    # builds the program it built before they existed.
    drivers = any(names for _, _, _, names, _ in table.models)
    # Rows carry bounds only in a table that gives one.
    bounded = any(any(bounds) for bounds in table.bounds)
    rows = [f"// Made by cmake/models.py from {comment(Path(table.path).name)}: edit the table, not this file.",
            f"// Every string is code page {table.code_page} bytes."]
    cases = [f"code_page {table.code_page}"] + ([f"registry_view {table.registry_view}"] if table.registry_view else [])
    for (selector, keys, queue, names, packages), bounds in zip(table.models, table.bounds):
        paths = ",\n     ".join(literal(key.encode(cp)) for key in keys)
        # No queue: the model's queues are found by its drivers alone.
        printer = "nullptr" if queue is None else literal(queue.encode(cp))
        row = f"{{'{selector}', {len(keys)},\n     {{{paths}}},\n     {printer}"
        if drivers:
            for n, listed in enumerate((names or [], packages or [])):
                row += f",\n     {len(listed)}, {{{', '.join(literal(name.encode(cp)) for name in listed)}}}"
                if bounded and n == 0:
                    row += f",\n     {{{', '.join(f'0x{bound:016X}' for bound in bounds)}}}, {str(any(bounds)).lower()}"
        rows.append(row + "},")
        cases.append(f"model {selector}")
        for kind, name, bound in ([("key", key, 0) for key in keys] + [("queue", queue, 0)] * (queue is not None)
                                  + list(zip(["driver"] * len(names or []), names or [], bounds))
                                  + [("package", p, 0) for p in packages or []]):
            cases.append(f"{kind} {name.encode(cp).hex()} {name.encode('utf-8').hex()}"
                         + (f" {shown_version(bound)}" if bound else ""))
    longest = max(1, max(len(keys) for _, keys, *_ in table.models))
    foreign = "".join(selector for selector, keys, queue, names, packages in table.models
                      if not all(name.isascii() for name in keys + [queue or ""] + (names or []) + (packages or [])))
    limits = ["// Made by cmake/models.py: the longest key list in the model table, and its code page.", "#pragma once",
              f"constexpr unsigned kMaxModelKeys = {longest};",
              "// The ANSI code page whose bytes the names are, and the models with a name outside ASCII, which",
              "// name other things under any other code page.",
              f"constexpr unsigned kTableCodePage = {table.code_page};",
              f'#define PRNUNINST_CODE_PAGE_TEXT "{table.code_page}"',
              f'constexpr char kCodePageModels[] = "{foreign}";']
    if drivers:
        limits += ["// The models name printer drivers, removed through the spooler with their queues, and the",
                   "// INF files whose packages they may delete.",
                   "#define PRNUNINST_MODEL_DRIVERS 1",
                   f"constexpr unsigned kMaxModelDrivers = {max(len(names or []) for *_, names, _ in table.models)};",
                   "constexpr unsigned kMaxModelPackages = "
                   f"{max(1, max(len(packages or []) for *_, packages in table.models))};"]
    if bounded:
        limits += ["// A driver has a bound: it is its model's only where the spooler reports a version below it.",
                   "#define PRNUNINST_DRIVER_BOUNDS 1"]
    if table.registry_view == 64:
        limits += ["// The key paths name the 64-bit registry view on 64-bit Windows.",
                   "#define PRNUNINST_REGISTRY_VIEW_64 1"]
    for name, lines in (("model_table.inc", rows), ("model_limits.h", limits), ("models.txt", cases)):
        text = "\n".join(lines) + "\n"
        target = folder / name
        # Unchanged outputs keep their time, so nothing rebuilds for nothing.
        if not target.exists() or target.read_text(encoding="utf-8") != text:
            target.write_text(text, encoding="utf-8")


def readme(table):
    """The README's models table, to fit a screen: each model's selector, queue and count of keys."""
    lines = ["| N | queue deleted through the spooler | registry keys deleted |", "|---|---|---|"]
    for selector, keys, queue, *_ in table.models:
        lines.append(f"| {selector} | {'(none: found by driver)' if queue is None else f'`{queue}`'} | {len(keys)} |")
    return "\n".join(lines)


def keys_table(table):
    """The models' page in a release: each key under ...\\Control\\Print\\ where it is there."""
    def name(key):
        return f"`{key[len(PRINT):]}`" if key.startswith(PRINT) else f"`HKLM\\{key}`"
    lines = ["| N | registry keys deleted, in this order (under `HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\`) "
             "| queue deleted through the spooler |", "|---|---|---|"]
    for selector, keys, queue, *_ in table.models:
        lines.append(f"| {selector} | {', '.join(name(key) for key in keys)} | "
                     f"{'(none: found by driver)' if queue is None else f'`{queue}`'} |")
    return "\n".join(lines)


def refused(programs):
    """Deletes the programs the build would have made from the table: a
    failed build leaves none of an earlier table's."""
    for program in programs:
        try:
            Path(program).unlink(missing_ok=True)
        except OSError as error:
            print(f"{shown(program)}: cannot delete this program of an earlier table: {shown(error.strerror)}; "
                  "delete it by hand before shipping from this folder", file=sys.stderr)
    return 1


def main(arguments):
    if len(arguments) == 2 and arguments[0] in ("--readme", "--keys", "--locale", "--kit"):
        table = load(arguments[1])
    elif len(arguments) >= 2 and not arguments[0].startswith("--"):
        table = load(arguments[0])
    else:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    programs = arguments[2:]
    if table.faults:
        faults = list(dict.fromkeys(table.faults))
        print("\n".join(faults[:MAX_SHOWN]), file=sys.stderr)
        if len(faults) > MAX_SHOWN:
            print(f"{shown(table.path)}: ... and {len(faults) - MAX_SHOWN} more", file=sys.stderr)
        print(f"{shown(table.path)}: {len(faults)} fault(s): no program is built from this table", file=sys.stderr)
        return refused(programs)
    if arguments[0] in ("--readme", "--keys"):
        print(readme(table) if arguments[0] == "--readme" else keys_table(table))
        return 0
    if arguments[0] == "--locale":
        print(f"{LOCALES[table.code_page]}.UTF-8")
        return 0
    if arguments[0] == "--kit":
        print("\n".join([table.programs_folder] + [selector for selector, *_ in table.models]))
        return 0
    try:
        write(table, Path(arguments[1]))
    except OSError as error:
        print(f"{shown(arguments[1])}: cannot write the generated files: {shown(error)}", file=sys.stderr)
        return refused(programs)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
