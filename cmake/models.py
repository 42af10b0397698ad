#!/usr/bin/python3
"""Turns a model table (models/*.toml) into the program's compiled-in table,
after checking every rule that a table must keep to be removed exactly.

    models.py TABLE OUTDIR    writes OUTDIR/model_table.inc (the rows),
                              OUTDIR/model_limits.h (the longest key list) and
                              OUTDIR/models.txt (every name as bytes and as
                              text, for the tests)
    models.py --readme TABLE  prints the table as the README shows it

A table that breaks a rule gives one message per fault, naming the file, the
model (by its selector) and the field, and no output is written.
"""
import sys
import tomllib
from pathlib import Path

# The ANSI code pages Windows can run with: names are stored as their bytes.
ANSI_CODE_PAGES = (874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258)
FIELDS = {"selector", "queue", "keys"}
OPTIONAL_FIELDS = {"drivers"}
REGISTRY_VIEWS = (64,)
MAX_KEY_PART = 255      # the registry's limit on one key name
MAX_QUEUE = 220         # the print spooler's limit on a printer name
# A driver is registered as a key of its name (Environments\<env>\Drivers\
# Version-<n>\<name>), so no longer name can be installed; the protocol leaves
# the limit to the implementation.
MAX_DRIVER = MAX_KEY_PART
PRINT = "SYSTEM\\CurrentControlSet\\Control\\Print\\"


class Table:
    def __init__(self, path):
        self.path = path
        self.faults = []
        self.code_page = None
        self.registry_view = None  # 64, or None: the view of a 32-bit program
        self.models = []  # (selector, [key text], queue text, [driver text])

    def fault(self, where, message):
        self.faults.append(f"{self.path}: {where}{message}")

    def encode(self, where, text):
        """The name as the code page's bytes; a character it lacks is a fault."""
        try:
            return text.encode(f"cp{self.code_page}")
        except UnicodeEncodeError as error:
            bad = text[error.start]
            self.fault(where, f"{q(bad)} (U+{ord(bad):04X}) is not in code page {self.code_page}: {q(text)}")
            return None


def q(text):
    """A name as the table writes it: in quotes, backslashes as they stand."""
    return f"'{text}'"


def control(text):
    return next((c for c in text if ord(c) < 0x20 or ord(c) == 0x7F), None)


def check_queue(table, where, queue):
    if not isinstance(queue, str) or not queue:
        table.fault(where, "must be a printer name, not empty")
        return
    for refused in "\\,":
        if refused in queue:
            table.fault(where, f"{q(queue)} holds {q(refused)}, which Windows refuses in printer names")
    if control(queue) is not None:
        table.fault(where, f"{q(queue)} holds the control character U+{ord(control(queue)):04X}")
    if len(queue) > MAX_QUEUE:
        table.fault(where, f"{len(queue)} characters, more than the {MAX_QUEUE} Windows allows in a printer name")
    table.encode(where, queue)


def check_drivers(table, where, drivers):
    if not isinstance(drivers, list) or not drivers or not all(isinstance(name, str) for name in drivers):
        table.fault(f"{where}: ", "must be a list of one or more printer driver names")
        return
    seen = {}
    for n, name in enumerate(drivers, 1):
        at = f"{where}[{n}]: "
        # An empty name would make some spoolers (Wine's) delete every driver
        # of the environment.
        if not name.strip():
            table.fault(at, "must be a driver name, not empty")
            continue
        if "," in name:
            table.fault(at, f"{q(name)} holds ',', which Windows refuses in driver names")
        if control(name) is not None:
            table.fault(at, f"{q(name)} holds the control character U+{ord(control(name)):04X}")
        if len(name) > MAX_DRIVER:
            table.fault(at, f"{len(name)} characters, more than the {MAX_DRIVER} a registry key name (and so a "
                            f"driver name) can have")
        table.encode(at, name)
        folded = name.upper()
        if folded in seen:
            table.fault(at, f"{q(name)} comes twice (first as driver {seen[folded]})")
        seen.setdefault(folded, n)


def check_keys(table, where, keys, drivers=False):
    if not isinstance(keys, list) or not (keys or drivers) or not all(isinstance(key, str) for key in keys):
        table.fault(f"{where}: ", "must be a list of one or more key paths under HKEY_LOCAL_MACHINE"
                                  + (" (it may be empty when the model has drivers)" if not drivers else ""))
        return
    seen = {}
    for n, key in enumerate(keys, 1):
        at = f"{where}[{n}]: "
        # Split the text, never the bytes: in 932, 936 and 950 a character's
        # second byte can be 0x5C, the byte of "\".
        parts = key.split("\\")
        if not key:
            table.fault(at, "empty")
            continue
        if key.startswith("\\") or key.endswith("\\"):
            table.fault(at, f"{q(key)} starts or ends with '\\': give the path under HKEY_LOCAL_MACHINE")
        elif "" in parts:
            table.fault(at, f"{q(key)} holds an empty part ('\\\\')")
        for part in parts:
            if len(part) > MAX_KEY_PART:
                table.fault(at, f"the part {q(part[:20])}... has {len(part)} characters, more than the registry's "
                                f"{MAX_KEY_PART}")
        if control(key) is not None:
            table.fault(at, f"{q(key)} holds the control character U+{ord(control(key)):04X}")
        table.encode(at, key)
        # Registry names do not depend on case.
        folded = key.casefold()
        if folded in seen:
            table.fault(at, f"{q(key)} comes twice (first as key {seen[folded]})")
            continue
        # RegDeleteKeyA cannot delete a key that still has a subkey.
        for earlier, index in seen.items():
            if folded.startswith(earlier + "\\"):
                table.fault(at, f"{q(key)} comes after its parent key {q(keys[index - 1])} (key {index}), which "
                                f"cannot be deleted while it has this subkey: list {q(key)} first")
        seen[folded] = n


def load(path):
    table = Table(path)
    try:
        data = tomllib.loads(Path(path).read_text(encoding="utf-8"))
    except FileNotFoundError:
        table.fault("", "no such file")
        return table
    except (OSError, UnicodeDecodeError) as error:
        table.fault("", f"cannot read it as UTF-8 text: {error}")
        return table
    except tomllib.TOMLDecodeError as error:
        table.fault("", f"not TOML: {error}")
        return table

    for field in sorted(set(data) - {"code_page", "registry_view", "model"}):
        table.fault("", f"unknown field {q(field)} (a table has code_page, registry_view and [[model]])")
    if "registry_view" in data:
        view = data["registry_view"]
        if view not in REGISTRY_VIEWS or isinstance(view, bool) or not isinstance(view, int):
            table.fault("registry_view: ", f"{view!r} is not a registry view: give 64, or leave it out for the "
                                           "view of a 32-bit program")
        else:
            table.registry_view = view
    code_page = data.get("code_page")
    if code_page is None:
        table.fault("", "code_page is missing: give the ANSI code page of the machines, e.g. code_page = 1252")
        return table
    if code_page not in ANSI_CODE_PAGES or isinstance(code_page, bool):
        table.fault("code_page: ", f"{code_page!r} is not a Windows ANSI code page "
                                   f"({', '.join(map(str, ANSI_CODE_PAGES))})")
        return table
    table.code_page = code_page

    models = data.get("model")
    if not isinstance(models, list) or not models:
        table.fault("", "no [[model]]: a table lists at least one model")
        return table
    selectors = set()
    for n, model in enumerate(models, 1):
        if not isinstance(model, dict):
            table.fault(f"model {n}: ", "must be a [[model]] table")
            continue
        selector = model.get("selector")
        name = f'model "{selector}"' if isinstance(selector, str) else f"model {n}"
        for field in sorted(set(model) - FIELDS - OPTIONAL_FIELDS):
            table.fault(f"{name}: ", f"unknown field {q(field)} (a model has "
                                     f"{', '.join(sorted(FIELDS | OPTIONAL_FIELDS))})")
        for field in sorted(FIELDS - set(model)):
            table.fault(f"{name}: ", f"{field} is missing")
        if "selector" in model:
            if not (isinstance(selector, str) and len(selector) == 1 and selector.isascii() and selector.isalnum()):
                table.fault(f"{name}: selector: ", f"{q(selector)} is not one ASCII letter or digit")
            elif selector in selectors:
                table.fault(f"{name}: selector: ", "another model has the same selector")
            selectors.add(selector)
        if "queue" in model:
            check_queue(table, f"{name}: queue: ", model["queue"])
        if "drivers" in model:
            check_drivers(table, f"{name}: drivers", model["drivers"])
        if "keys" in model:
            check_keys(table, f"{name}: keys", model["keys"], drivers="drivers" in model)
        table.models.append((selector, model.get("keys"), model.get("queue"), model.get("drivers")))
    return table


def literal(data):
    """A C++ string literal of exactly these bytes. A \\x escape takes every
    hex digit after it, so a hex digit after one starts a new literal."""
    out = '"'
    escaped = False
    for byte in data:
        char = chr(byte)
        if escaped and char in "0123456789abcdefABCDEF":
            out += '" "'
        escaped = False
        if char in '\\"':
            out += "\\" + char
        elif 0x20 <= byte < 0x7F:
            out += char
        else:
            out += f"\\x{byte:02X}"
            escaped = True
    return out + '"'


def write(table, folder):
    cp = f"cp{table.code_page}"
    folder.mkdir(parents=True, exist_ok=True)
    # Rows carry drivers only in a table that names some: every other table
    # builds the program it built before they existed.
    drivers = any(names for *_, names in table.models)
    rows = [f"// Made by cmake/models.py from {Path(table.path).name}: edit the table, not this file.",
            f"// Every string is code page {table.code_page} bytes."]
    cases = [f"code_page {table.code_page}"] + ([f"registry_view {table.registry_view}"] if table.registry_view else [])
    for selector, keys, queue, names in table.models:
        paths = ",\n     ".join(literal(key.encode(cp)) for key in keys)
        row = f"{{'{selector}', {len(keys)},\n     {{{paths}}},\n     {literal(queue.encode(cp))}"
        if drivers:
            listed = ", ".join(literal(name.encode(cp)) for name in names or [])
            row += f",\n     {len(names or [])}, {{{listed}}}"
        rows.append(row + "},")
        cases.append(f"model {selector}")
        for kind, name in [("key", key) for key in keys] + [("queue", queue)] + [("driver", d) for d in names or []]:
            cases.append(f"{kind} {name.encode(cp).hex()} {name.encode('utf-8').hex()}")
    longest = max(1, max(len(keys) for _, keys, *_ in table.models))
    limits = ["// Made by cmake/models.py: the longest key list in the model table.", "#pragma once",
              f"constexpr unsigned kMaxModelKeys = {longest};"]
    if drivers:
        limits += ["// The models name printer drivers, removed through the spooler with their queues.",
                   "#define PRNUNINST_MODEL_DRIVERS 1",
                   f"constexpr unsigned kMaxModelDrivers = {max(len(names or []) for *_, names in table.models)};",
                   "constexpr unsigned kMaxDriverNameBytes = "
                   f"{max(len(name.encode(cp)) for *_, names in table.models for name in names or [])};"]
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
    """The README's models table: each key under ...\\Control\\Print\\ where it is there."""
    def name(key):
        return f"`{key[len(PRINT):]}`" if key.startswith(PRINT) else f"`HKLM\\{key}`"
    lines = ["| N | registry keys deleted, in this order (under `HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\`) "
             "| queue deleted through the spooler |", "|---|---|---|"]
    for selector, keys, queue, _ in table.models:
        lines.append(f"| {selector} | {', '.join(name(key) for key in keys)} | `{queue}` |")
    return "\n".join(lines)


def main(arguments):
    if len(arguments) == 2 and arguments[0] == "--readme":
        table = load(arguments[1])
    elif len(arguments) == 2:
        table = load(arguments[0])
    else:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    if table.faults:
        print("\n".join(table.faults), file=sys.stderr)
        print(f"{table.path}: {len(table.faults)} fault(s): no program is built from this table", file=sys.stderr)
        return 1
    if arguments[0] == "--readme":
        print(readme(table))
    else:
        write(table, Path(arguments[1]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
