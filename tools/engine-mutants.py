#!/usr/bin/env python3
"""Puts one fault at a time into the installer engine (platform/msi: cfb, db,
sql, transform), rebuilds the programs the tests run, runs the tests labelled
`fast` and, for a fault they miss, those labelled `oracle`, and puts the code
back. Prints which faults each label catches.

    tools/engine-mutants.py [--build DIR] [--only NAME,...] [--log FILE] [--resume]
                            [--every-label] [--new-tests REGEX] [--fast-only | --oracle-only]
                            [--oracle-tests REGEX] [--list]

Run it in a tree of its own (it edits the sources it mutates and always
restores them, also on Ctrl-C) with a configured build folder; a folder
configured with -DQUORLIN_GUI=OFF builds far less. It builds with two jobs
and stops a label's run at the first failing test, so a caught fault costs
little; a fault no test catches runs both labels whole (the oracle label
without the tests also labelled slow). Each outcome is appended to the log
as it comes (one JSON object a line), and --resume skips the faults already
there, so that a long run can be stopped and continued. With --every-label
the oracle tests run for every fault, not only for those the fast tests miss.

--new-tests names fast tests just written (a ctest regex): the labels then
run without them, and they run only for a fault the fast tests miss, so that
one build a fault gives the figures before and after they were added.
On a busy machine run --fast-only over all faults first, then
--oracle-only --only with the faults the fast tests missed.

--oracle-tests runs only the oracle tests it names (a ctest regex): a quick
first pass, since a fault one of them catches is caught by the label. A
fault they all miss is marked "SURVIVED (subset)" and counts as surviving
until a run over the whole label says otherwise.
"""
import argparse
import json
import os
import pathlib
import re
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent

ALLOCATION = "platform/msi/cfb/allocation_table.cpp"
COMMIT = "platform/msi/cfb/commit.cpp"
IMAGE = "platform/msi/cfb/image.cpp"
IMAGE_H = "platform/msi/cfb/image.h"
NAME_ORDER = "platform/msi/cfb/name_order.cpp"
DATABASE = "platform/msi/db/package_database.cpp"
POOL = "platform/msi/db/string_pool.cpp"
TABLE = "platform/msi/db/table.cpp"
STREAM_NAME = "platform/msi/db/stream_name.cpp"
ID_MAP = "platform/msi/db/string_id_map.cpp"
EVALUATOR = "platform/msi/sql/evaluator.cpp"
QUERY = "platform/msi/sql/query.cpp"
PREFILTER = "platform/msi/sql/row_prefilter.cpp"
TOKENIZER = "platform/msi/sql/tokenizer.cpp"
GENERATOR = "platform/msi/transform/generator.cpp"
STREAMS = "platform/msi/transform/streams.cpp"
READER = "platform/msi/transform/reader.cpp"
APPLY = "platform/msi/transform/apply.cpp"
VALIDATION = "platform/msi/transform/validation.cpp"
REBASE = "platform/msi/transform/rebase.cpp"

# name, file, text as it is, text with the fault
MUTANTS = [
    # ---- compound file
    ("fat-lower-sector-change-lost", ALLOCATION, "if (changed_.empty() || *changed_.rbegin() != sector)",
     "if (changed_.empty() || *changed_.rbegin() < sector)"),
    ("free-scan-skips-first-entry", ALLOCATION, "? scan_from_ & (per_sector_ - 1) : 0;",
     "? scan_from_ & (per_sector_ - 1) : 1;"),
    ("chain-loop-not-detected", ALLOCATION, 'if (sectors.size() >= limit) fail_open(what + ": sector chain loops");',
     ""),
    ("mini-stream-grown-a-sector-early", COMMIT, "while (std::uint64_t(mini_->stream_chain.size()) * ss < end)",
     "while (std::uint64_t(mini_->stream_chain.size()) * ss <= end)"),
    ("mini-stream-size-a-sector-long", COMMIT, "std::uint64_t end = (std::uint64_t(m) + 1) * mini_sector_size;",
     "std::uint64_t end = (std::uint64_t(m) + 2) * mini_sector_size;"),
    ("relocated-second-sector-not-linked", COMMIT, "if (index > 0) img_.fat_.set(chain[index - 1], moved);",
     "if (index > 1) img_.fat_.set(chain[index - 1], moved);"),
    ("difat-needed-one-fat-sector-late", COMMIT, "if (index < header_difat_slots) return;",
     "if (index <= header_difat_slots) return;"),
    ("free-tail-kept", COMMIT, "while (used > 0 && img_.fat_.at(used - 1) == free_sector) --used;", ""),
    ("old-chains-never-freed", COMMIT,
     "if (!old.kept[i]) old.mini ? mini_->minifat.release(old.sectors[i]) : img_.fat_.hold_free(old.sectors[i]);",
     "if (!old.kept[i] && old.mini) mini_->minifat.release(old.sectors[i]);"),
    ("chain-ending-on-free-mark-allocated", IMAGE, "if (last && !small && fat.at(*last) == free_sector) {",
     "if (false) {"),
    ("mini-cutoff-inclusive", IMAGE_H, "return size < header_.mini_cutoff;", "return size <= header_.mini_cutoff;"),
    ("longer-names-sort-first", NAME_ORDER, "return a.size() < b.size() ? -1 : 1;",
     "return a.size() > b.size() ? -1 : 1;"),
    ("names-compared-with-case", NAME_ORDER, "if (c >= u'a' && c <= u'z') return c - 0x20;", ""),
    # ---- database
    ("unloaded-3-byte-reference-read-as-2", DATABASE, "count(stored_reference(cells.data() + at, width));",
     "count(stored_reference(cells.data() + at, 2));"),
    ("unloaded-column-stride-2-bytes", DATABASE,
     "const std::uint64_t column_bytes = rows * static_cast<std::uint64_t>(c.width(width));",
     "const std::uint64_t column_bytes = rows * static_cast<std::uint64_t>(c.width(2));"),
    ("loaded-table-not-counted", DATABASE, "visit_in(*it->second);\n            continue;", "continue;"),
    ("unread-search-as-2-byte", DATABASE, "counts[k] += count_stored(cells, width, ids[k]);",
     "counts[k] += count_stored(cells, 2, ids[k]);"),
    ("long-string-slot-boundary", POOL, "return used && length >= long_string_bytes ? 8 : 4;",
     "return used && length > long_string_bytes ? 8 : 4;"),
    ("3-byte-width-one-id-late", POOL, "for (std::uint32_t id = id_limit(); id-- > 0xFFFF + 1;)",
     "for (std::uint32_t id = id_limit(); id-- > 0xFFFF + 2;)"),
    ("3-byte-pool-read-as-2", POOL, "result.stored_width_ = (header & three_byte_flag) ? 3 : 2;",
     "result.stored_width_ = 2;"),
    ("release-frees-at-two", POOL, "if (e.refs > 1) {", "if (e.refs > 2) {"),
    ("reference-not-counted", POOL, "if (e.refs < entry::max_refs) ++e.refs;", ""),
    ("unread-block-strings-dropped", POOL,
     "data + (last ? data_.size() : loaded_blocks_[block + 1].data_at));", "data + loaded_blocks_[block].data_at);"),
    ("unread-long-slot-read-in-place", POOL, "if (blocks_[block] || loaded_blocks_[block].long_slots) {",
     "if (blocks_[block]) {"),
    ("index-erase-gap-rule", POOL, "(i < home && home <= j) : (i < home || home <= j)",
     "(i <= home && home <= j) : (i < home || home <= j)"),
    ("keys-sorted-descending", TABLE, "if (a[k] != b[k]) return a[k] < b[k];", "if (a[k] != b[k]) return a[k] > b[k];"),
    ("find-returns-neighbour", TABLE,
     "if (at < row_count_ && !key_less(values.data(), cells_.data() + at * columns_.size())) return at;",
     "if (at < row_count_) return at;"),
    # At the check every statement passes first: package_database::set_integer
    # checks the range again, so a fault there alone changes nothing.
    ("int16-range-admits-null", QUERY, "int16 ? (v.integer >= -32767 && v.integer <= 32767)",
     "int16 ? (v.integer >= -32768 && v.integer <= 32767)"),
    ("bulk-added-rows-unsorted", TABLE, "    dirty_ = true;\n    sort_rows();\n}", "    dirty_ = true;\n}"),
    ("column-33-accepted", DATABASE, "if (t.columns().size() >= 32)", "if (t.columns().size() > 32)"),
    ("stream-name-last-symbol", STREAM_NAME, "unit < single_base + 0x40", "unit < single_base + 0x3F"),
    ("id-map-trusts-same-id", ID_MAP, "if (to_.contains(id) && to_.bytes(id) == bytes) return m = id;",
     "if (to_.contains(id)) return m = id;"),
    # ---- SQL
    ("null-sorts-above-numbers", EVALUATOR, "return holds(op, is_null(a) ? -1 : 1, 0);",
     "return holds(op, is_null(a) ? 1 : -1, 0);"),
    ("less-equal-strict", EVALUATOR, "case comparison::less_equal: return a <= b;",
     "case comparison::less_equal: return a < b;"),
    ("prefilter-through-or", PREFILTER, "while (where && where->type == sql::condition::kind::both)",
     "while (where && where->type == sql::condition::kind::either)"),
    ("not-equal-token-split", TOKENIZER, "const bool pair = next == u'=' || (c == u'<' && next == u'>');",
     "const bool pair = next == u'=';"),
    # ---- transforms
    ("last-lost-row-not-removed", GENERATOR, "for (std::size_t ref_row = 0; ref_row < r.row_count(); ++ref_row)",
     "for (std::size_t ref_row = 0; ref_row + 1 < r.row_count(); ++ref_row)"),
    ("last-column-change-after-another", GENERATOR, "for (std::size_t c = first + 1; c < n; ++c)",
     "for (std::size_t c = first + 1; c + 1 < n; ++c)"),
    ("same-size-binary-unchanged", GENERATOR,
     "return now.binary_data(t, row) == before.binary_data(r, ref_row);", "return true;"),
    ("removal-stores-first-key-only", STREAMS, "for (const auto& c : t.columns) r.present.push_back(c.is_key());",
     "for (const auto& c : t.columns) r.present.push_back(c.is_key() && r.present.empty());"),
    ("seventeenth-column-in-mask", STREAMS, "if (i >= max_update_columns)", "if (i > max_update_columns)"),
    ("removal-read-with-first-key-only", READER,
     "for (std::size_t c = 0; c < n; ++c) record.present[c] = columns_[c].is_key();",
     "for (std::size_t c = 0; c < n; ++c) record.present[c] = c == 0;"),
    ("update-of-column-16-ignored", READER, "(c < 16 && (mask >> c & 1))", "(c < 15 && (mask >> c & 1))"),
    ("update-keeps-old-string", APPLY, "set(c, add_string(v));\n                release(old);",
     "set(c, add_string(v));"),
    ("added-row-not-findable", APPLY, "if (rows.t.key_count() > 0) rows.added_at[rows.key_of(values)] = rows.added.size();",
     ""),
    ("dropped-table-keeps-name", APPLY, "release(columns_->cell(row, 2));\n            release(id);",
     "release(columns_->cell(row, 2));"),
    ("code-page-change-counts-not-exact", APPLY, "pool_.set_reference_counts(db_.count_references());", ""),
    ("version-at-least-strict", VALIDATION, "fits = fits && ours >= base", "fits = fits && ours > base"),
    ("version-at-most-strict", VALIDATION, "fits = fits && ours <= base", "fits = fits && ours < base"),
    ("rebase-last-old-column-unread", REBASE, "if (c < b.columns().size()) was =",
     "if (c + 1 < b.columns().size()) was ="),
]

# The programs the fast and oracle tests run, when only the engine changes.
TARGETS = ["cfb_tests", "db_tests", "db_package_tests", "transform_tests", "sql_tests", "sql_package_tests",
           "sql_conformance_tests", "fuzz_regression_tests", "installer_tests", "deployment_settings_tests",
           "cli_tests", "msi-transform", "support_tests", "system_tests"]

FAILED = re.compile(r"Test\s+#\d+: (\S+) .*?(\*\*\*\w+|Subprocess aborted|SEGFAULT|Child aborted|Exception|Failed)")


def run(cmd, timeout=None):
    return subprocess.run(cmd, timeout=timeout, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def first_failure(output):
    for line in output.splitlines():
        match = FAILED.search(line)
        if match and " Passed " not in line:
            return match.group(1)
    return ""


def run_label(build, jobs, label=None, include="", exclude=""):
    """'caught' with the first failing test, or 'SURVIVED'."""
    cmd = ["ctest", "--test-dir", str(build), "--stop-on-failure", "--timeout", "120", "-j", str(jobs)]
    if label:
        cmd += ["-L", label, "-LE", "slow"]
    if include:
        cmd += ["-R", include]
    if exclude:
        cmd += ["-E", exclude]
    try:
        tested = run(cmd, timeout=3600)
    except subprocess.TimeoutExpired:
        return "caught", "timeout"
    if tested.returncode == 0:
        return "SURVIVED", ""
    return "caught", first_failure(tested.stdout) or f"exit {tested.returncode}"


def stop(signum, frame):
    raise KeyboardInterrupt  # so that the mutated file is put back


def figures(tried, fast_key, oracle_key):
    fast = sum(1 for r in tried if r[fast_key] == "caught")
    both = sum(1 for r in tried if r[fast_key] == "caught" or r[oracle_key] == "caught")
    n = len(tried)
    return [f"fast: {fast} of {n} faults caught ({100 * fast / n:.0f}%)",
            f"fast and oracle together: {both} of {n} faults caught ({100 * both / n:.0f}%)"], n - both


def summary(results, with_new):
    tried = [r for r in results if r["fast"] in ("caught", "SURVIVED")]
    lines = ["| fault | fast | oracle | new tests | first failing test |", "|---|---|---|---|---|"]
    for r in results:
        lines.append(f"| {r['name']} | {r['fast']} | {r['oracle']} | {r.get('new', '')} | {r['detail']} |")
    lines.append("")
    if not tried:
        return "\n".join(lines), 0
    for r in tried:
        r["fast_after"] = "caught" if "caught" in (r["fast"], r.get("new")) else "SURVIVED"
    before, missed = figures(tried, "fast", "oracle")
    lines += (["Without the new tests:"] if with_new else []) + before
    if with_new:
        after, missed = figures(tried, "fast_after", "oracle")
        lines += ["With the new tests:"] + after
    return "\n".join(lines), missed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--only", default="")
    parser.add_argument("--log", default="")
    parser.add_argument("--resume", action="store_true")
    parser.add_argument("--every-label", action="store_true")
    parser.add_argument("--new-tests", default="")
    # Fast figures first: the oracle tests can follow in a second run with --oracle-for.
    parser.add_argument("--fast-only", action="store_true")
    parser.add_argument("--oracle-only", action="store_true")
    parser.add_argument("--oracle-tests", default="")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--list", action="store_true")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    # In the order --only names them, so that a run cut short has tried the first ones.
    by_name = {m[0]: m for m in MUTANTS}
    chosen = [by_name[n] for n in args.only.split(",") if n in by_name] if args.only else MUTANTS
    if args.list:
        for name, path, _, _ in chosen:
            print(f"{name:40} {path}")
        return 0

    log = pathlib.Path(args.log) if args.log else None
    results = []
    if log and args.resume and log.exists():
        results = [json.loads(line) for line in log.read_text().splitlines() if line.strip()]
    done = {r["name"] for r in results}
    signal.signal(signal.SIGTERM, stop)
    for name, path, before, after in chosen:
        if name in done:
            continue
        source = ROOT / path
        text = source.read_text()
        result = {"name": name, "fast": "", "oracle": "", "new": "", "detail": ""}
        started = time.time()
        if text.count(before) != 1:
            result["fast"] = "not applied (code moved?)"
        else:
            try:
                source.write_text(text.replace(before, after))
                built = run(["cmake", "--build", str(build), "-j", str(args.jobs), "--target", *TARGETS])
                if built.returncode != 0:
                    result["fast"] = "does not build"
                else:
                    new = args.new_tests
                    if args.oracle_only:
                        result["fast"] = "SURVIVED"  # as a run with --fast-only found
                    else:
                        result["fast"], result["detail"] = run_label(build, args.jobs, "fast", exclude=new)
                    if new and result["fast"] == "SURVIVED" and not args.oracle_only:
                        result["new"], new_detail = run_label(build, args.jobs, include=new)
                        result["detail"] = new_detail
                    if (result["fast"] == "SURVIVED" or args.every_label) and not args.fast_only:
                        result["oracle"], oracle_detail = run_label(build, args.jobs, "oracle",
                                                                    include=args.oracle_tests, exclude=new)
                        if args.oracle_tests and result["oracle"] == "SURVIVED":
                            result["oracle"] = "SURVIVED (subset)"
                        result["detail"] = " ".join(d for d in (result["detail"], oracle_detail) if d)
            finally:
                source.write_text(text)
                os.utime(source)
        results.append(result)
        if log:
            with log.open("a") as out:
                out.write(json.dumps(result) + "\n")
        print(f"{name}: fast {result['fast']} new {result['new'] or '-'} oracle {result['oracle'] or '-'} "
              f"{result['detail']} "
              f"({time.time() - started:.0f} s)", flush=True)

    run(["cmake", "--build", str(build), "-j", str(args.jobs), "--target", *TARGETS])
    table, missed = summary(results, bool(args.new_tests))
    print("\n" + table)
    return 0 if missed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
