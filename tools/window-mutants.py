#!/usr/bin/env python3
"""Puts one fault at a time into the settings map and the load and generate
commands, rebuilds window_tests, runs it, and puts the code back. Prints
which faults the window tests catch.

    tools/window-mutants.py [--build DIR] [--only NAME,...] [--filter GTEST_FILTER] [--list]

Run it in a tree of its own (it edits the sources it mutates and always
restores them, also on Ctrl-C) with a configured build folder; it builds
only window_tests, with two jobs. The tests need a display: it starts them
under xvfb-run.
"""
import argparse
import os
import pathlib
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent

# The settings map may live beside the window or in the installer library.
MAP = next((p for p in ("installer/deployment_settings_map.cpp", "window/deployment_settings_map.cpp")
            if (ROOT / p).exists()), "window/deployment_settings_map.cpp")
# Reading and writing by the map, without the window.
SETTINGS = "installer/deployment_settings.cpp"
LOAD = "window/load_settings_command.cpp"
GENERATE = "window/generate_command.cpp"
DIALOG = "window/deployment_dialog.cpp"

# name, file, text as it is, text with the fault
MUTANTS = [
    ("default-print-size", MAP, "0xF7800, 0x800000", "0xF7800, 0x400000"),
    ("default-print-count", MAP, "0xFFFF, 8)", "0xFFFF, 16)"),
    ("pcl-print-size", MAP, "0xF7800, 0x800000", "0xF7000, 0x800000"),
    ("sign-always-on", MAP, 'write(5, property, u"SIGNENABLE", plain_flag, product_is_pro)',
     'write_side{5, property, u"SIGNENABLE", constant, product_is_pro, u"1", 0, 0}'),
    ("printer-driver-always-off", MAP, 'write(4, property, u"INSTALL_PRINTER_DRIVER", plain_flag)',
     'write_constant(4, u"INSTALL_PRINTER_DRIVER", u"0")'),
    ("crash-registry-always-off", MAP, 'write(13, registry, u"kBugsplatEnableCrashReporting", switch_text)',
     'write_side{13, registry, u"kBugsplatEnableCrashReporting", constant, always, u"/b 0", 0, 0}'),
    ("sign-written-for-any-product", MAP, "plain_flag, product_is_pro)", "plain_flag)"),
    ("printer-driver-written-to-read-name", MAP, 'write(4, property, u"INSTALL_PRINTER_DRIVER"',
     'write(4, property, u"QPINSTALLPRINTERDRIVER"'),
    ("crash-property-always-off", MAP, 'write(14, property, u"BUGSPLAT_SENDREPORT_ENABLED", plain_flag)',
     'write_constant(14, u"BUGSPLAT_SENDREPORT_ENABLED", u"0")'),
    ("crash-registry-as-plain-flag", MAP, 'u"kBugsplatEnableCrashReporting", switch_text)',
     'u"kBugsplatEnableCrashReporting", plain_flag)'),
    ("shortcut-missing-gives-unchecked", MAP,
     'u"DT_SHORTCUT", read_rule::checked_unless_zero, missing_gives::checked',
     'u"DT_SHORTCUT", read_rule::checked_unless_zero, missing_gives::unchecked'),
    ("switch-read-accepts-1", MAP, 'return value == u"/b 1";', 'return value == u"/b 1" || value == u"1";'),
    ("integration-read-ignores-unset", MAP, 'return value == u"#0" || value == u"unset";',
     'return value == u"#0";'),
    ("inverted-integer-not-inverted", MAP, 'return on ? u"#0" : u"#1";', 'return on ? u"#1" : u"#0";'),
    ("integer-written-plain", MAP, 'case integer: return on ? u"#1" : u"#0";',
     'case integer: return on ? u"1" : u"0";'),
    ("any-product-is-pro", MAP, 'return product_name.find(u"Pro") != std::u16string_view::npos;',
     "return !product_name.empty();"),
    ("knowledge-assistant-read-as-flag", MAP, 'u"KNOWLEDGEASSISTANT", read_rule::checked_if_switch_on',
     'u"KNOWLEDGEASSISTANT", read_rule::checked_if_one'),
    ("imanage-path-written-when-off", SETTINGS, 'values.*gate->check != 0 ? values.*row->text : u"0"',
     "values.*row->text"),
    ("path-read-when-imanage-off", SETTINGS, "if (read_checks[row.gate] == 1) read.*row.text", "read.*row.text"),
    ("missing-value-always-unchecked", SETTINGS, "return read.missing == missing_gives::checked ? 1 : 0;",
     "return 0;"),
    ("print-profile-inverted", SETTINGS, "values.print_profile == pcl_optimized_profile ? write->pcl_number",
     "values.print_profile != pcl_optimized_profile ? write->pcl_number"),
    ("language-always-default", SETTINGS, "planned.text = values.application_language;", 'planned.text = u"en-US";'),
    ("stop-path-without-second-check", GENERATE,
     "select_page(imanage_page);\n        imanage_page->validate_install_path();", "select_page(imanage_page);"),
    ("stop-path-without-page-switch", GENERATE, "select_page(imanage_page);\n", "\n"),
    ("no-stop-on-empty-path", GENERATE, "if (outcome == deployment::write_outcome::imanage_path_missing) {",
     "if (false) {"),
    ("pages-not-pulled", GENERATE, "for (CWnd* page : pages) static_cast<CDialog*>(page)->UpdateData(TRUE);",
     ""),
    ("no-transform", GENERATE, "show_transform_outcome(package->generate_transform(), package->transform_path());",
     ""),
    ("not-open-not-reported", GENERATE, "if (!package->is_open()) {", "if (false) {"),
    ("privacy-link-from-terms-markup", LOAD, "set_agreement_link(extras.privacy_url, 1, extras.privacy_text);",
     "set_agreement_link(extras.privacy_url, 1, extras.terms_text);"),
    ("product-name-not-kept", LOAD, "product_name = extras.product_name;", ""),
    ("imanage-controls-not-updated", LOAD, "imanage_page->on_imanage_enabled_clicked();", ""),
    ("old-package-kept-until-new-opens", LOAD, "    package.reset();\n    package_chosen_", "    package_chosen_"),
    ("path-not-shown", LOAD, "msi_path = path;", ""),
    ("enter-closes-window", DIALOG, "::OnOK() {}", "::OnOK() { OnCancel(); }"),
]


def run(cmd, cwd=None, timeout=None):
    return subprocess.run(cmd, cwd=cwd, timeout=timeout, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True)


def failed_tests(output):
    names = []
    for line in output.splitlines():
        if line.startswith("[  FAILED  ]"):
            words = line[len("[  FAILED  ]"):].split()
            if words and "." in words[0] and words[0] not in names:
                names.append(words[0])
    return names


def stop(signum, frame):
    raise KeyboardInterrupt  # so that the mutated file is put back


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--only", default="")
    parser.add_argument("--list", action="store_true")
    # The language-module tests start no command: they cannot see these faults.
    parser.add_argument("--filter", default="-LanguageModule.*")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    chosen = [m for m in MUTANTS if not args.only or m[0] in args.only.split(",")]
    if args.list:
        for name, path, _, _ in chosen:
            print(f"{name:40} {path}")
        return 0

    signal.signal(signal.SIGTERM, stop)
    program = build / "tests/window/window_tests"
    results = []
    for name, path, before, after in chosen:
        source = ROOT / path
        text = source.read_text()
        if text.count(before) != 1:
            results.append((name, "not applied (code moved?)", ""))
            print(f"{name}: not applied", flush=True)
            continue
        started = time.time()
        try:
            source.write_text(text.replace(before, after))
            built = run(["cmake", "--build", str(build), "--target", "window_tests", "-j2"])
            if built.returncode != 0:
                outcome, detail = "does not build", ""
            else:
                tested = run(["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", str(program), "--gtest_brief=1",
                              "--gtest_fail_fast", "--gtest_filter=" + args.filter],
                             cwd=build / "bin", timeout=900)
                failures = failed_tests(tested.stdout)
                if tested.returncode == 0:
                    outcome, detail = "SURVIVED", ""
                else:
                    # Stopped at the first failing test.
                    outcome, detail = "caught", " ".join(failures) or f"exit {tested.returncode}"
        except subprocess.TimeoutExpired:
            outcome, detail = "caught", "timeout"
        finally:
            source.write_text(text)
            os.utime(source)
        results.append((name, outcome, detail))
        print(f"{name}: {outcome} {detail} ({time.time() - started:.0f} s)", flush=True)

    run(["cmake", "--build", str(build), "--target", "window_tests", "-j2"])
    caught = sum(1 for _, outcome, _ in results if outcome == "caught")
    tried = sum(1 for _, outcome, _ in results if outcome in ("caught", "SURVIVED"))
    print(f"\n| fault | outcome | failing tests |\n|---|---|---|")
    for name, outcome, detail in results:
        print(f"| {name} | {outcome} | {detail} |")
    print(f"\n{caught} of {tried} faults caught")
    return 0 if caught == tried else 1


if __name__ == "__main__":
    sys.exit(main())
