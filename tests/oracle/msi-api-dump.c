/*
 * msi-api-dump: prints a Windows Installer package's tables as sorted text,
 * through the Windows Installer API (msi.dll) alone, so that a package or a
 * transform written by our own engine can be judged by an implementation we
 * did not write. Built with MinGW-w64 and run under Wine by msi-oracle.
 *
 *   msi-api-dump [-t TABLE]... [-s] [-S] [-q] [-e CONDITIONS] [-o OUT.msi]
 *                PACKAGE.msi [TRANSFORM.mst]
 *   msi-api-dump -x SCRIPT       (statements run on copies; see statement_script.c)
 *
 * The package is copied first and only the copy is opened, so the input is
 * never written. -e passes error conditions to MsiDatabaseApplyTransformW
 * (default 0: every error stops the apply).
 * Exit status: 0 ok, 1 usage, 2 open, apply or query failure.
 */
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

enum { EXIT_USAGE = 1, EXIT_MSI = 2 };

/* ---- growing byte strings ---------------------------------------------- */

typedef struct {
    char *data;
    size_t size, capacity;
} text;

static void *checked_realloc(void *p, size_t n) {
    void *q = realloc(p, n ? n : 1);
    if (!q) {
        fputs("out of memory\n", stderr);
        exit(EXIT_MSI);
    }
    return q;
}

static void text_append(text *t, const char *bytes, size_t n) {
    if (t->size + n + 1 > t->capacity) {
        size_t want = t->capacity ? t->capacity * 2 : 128;
        while (want < t->size + n + 1) want *= 2;
        t->data = checked_realloc(t->data, want);
        t->capacity = want;
    }
    memcpy(t->data + t->size, bytes, n);
    t->size += n;
    t->data[t->size] = 0;
}

static void text_puts(text *t, const char *s) { text_append(t, s, strlen(s)); }

static void text_byte(text *t, unsigned char c) { text_append(t, (const char *)&c, 1); }

/* UTF-8 of a UTF-16 string with the dump's escapes: backslash, tab, newline
   and carriage return by name, other control characters as \xHH, so that a
   row always stays on one line and its fields never split. */
static void text_escaped(text *t, const wchar_t *s) {
    for (size_t i = 0; s[i]; i++) {
        unsigned long c = (unsigned short)s[i];
        if (c >= 0xD800 && c <= 0xDBFF && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((unsigned short)s[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; /* a lone surrogate has no UTF-8 form */
        }
        char buf[8];
        if (c == '\\') text_puts(t, "\\\\");
        else if (c == '\t') text_puts(t, "\\t");
        else if (c == '\n') text_puts(t, "\\n");
        else if (c == '\r') text_puts(t, "\\r");
        else if (c < 0x20 || c == 0x7F) {
            snprintf(buf, sizeof buf, "\\x%02X", (unsigned)c);
            text_puts(t, buf);
        } else if (c < 0x80) {
            text_byte(t, (unsigned char)c);
        } else if (c < 0x800) {
            text_byte(t, 0xC0 | (c >> 6));
            text_byte(t, 0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            text_byte(t, 0xE0 | (c >> 12));
            text_byte(t, 0x80 | ((c >> 6) & 0x3F));
            text_byte(t, 0x80 | (c & 0x3F));
        } else {
            text_byte(t, 0xF0 | (c >> 18));
            text_byte(t, 0x80 | ((c >> 12) & 0x3F));
            text_byte(t, 0x80 | ((c >> 6) & 0x3F));
            text_byte(t, 0x80 | (c & 0x3F));
        }
    }
}

static void write_out(const char *bytes, size_t n) {
    if (n && fwrite(bytes, 1, n, stdout) != n) exit(EXIT_MSI);
}

/* ---- lists of lines, sorted bytewise ----------------------------------- */

typedef struct {
    char **items;
    size_t count, capacity;
} line_list;

static void lines_add(line_list *l, char *line) {
    if (l->count == l->capacity) {
        l->capacity = l->capacity ? l->capacity * 2 : 64;
        l->items = checked_realloc(l->items, l->capacity * sizeof *l->items);
    }
    l->items[l->count++] = line;
}

static int compare_lines(const void *a, const void *b) {
    return strcmp(*(char *const *)a, *(char *const *)b); /* compares as unsigned char */
}

static int compare_wide(const void *a, const void *b) {
    return wcscmp(*(wchar_t *const *)a, *(wchar_t *const *)b);
}

static void lines_free(line_list *l) {
    for (size_t i = 0; i < l->count; i++) free(l->items[i]);
    free(l->items);
    l->items = NULL;
    l->count = l->capacity = 0;
}

/* ---- MSI helpers -------------------------------------------------------- */

static void report(const char *call, UINT rc) { fprintf(stderr, "%s failed: %u\n", call, rc); }

/* A record field as a new wide string (integers come back in decimal, NULL as ""). */
static wchar_t *record_string(MSIHANDLE rec, UINT field) {
    DWORD n = 0;
    wchar_t probe[1] = {0};
    UINT rc = MsiRecordGetStringW(rec, field, probe, &n);
    if (rc != ERROR_MORE_DATA && rc != ERROR_SUCCESS) {
        report("MsiRecordGetStringW", rc);
        return NULL;
    }
    n++;
    wchar_t *s = checked_realloc(NULL, n * sizeof(wchar_t));
    rc = MsiRecordGetStringW(rec, field, s, &n);
    if (rc != ERROR_SUCCESS) {
        report("MsiRecordGetStringW", rc);
        free(s);
        return NULL;
    }
    return s;
}

static unsigned long crc32_table[256];

static void crc32_init(void) {
    for (unsigned long i = 0; i < 256; i++) {
        unsigned long c = i;
        for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
        crc32_table[i] = c;
    }
}

/* Binary cells print as their size and CRC-32: the bytes themselves would
   make lines of any length. */
static int append_stream(text *line, MSIHANDLE rec, UINT field) {
    static char buf[65536];
    unsigned long crc = 0xFFFFFFFFUL;
    unsigned long long size = 0;
    for (;;) {
        DWORD n = sizeof buf;
        UINT rc = MsiRecordReadStream(rec, field, buf, &n);
        if (rc != ERROR_SUCCESS) {
            report("MsiRecordReadStream", rc);
            return 0;
        }
        if (n == 0) break;
        for (DWORD i = 0; i < n; i++) crc = crc32_table[(crc ^ (unsigned char)buf[i]) & 0xFF] ^ (crc >> 8);
        size += n;
    }
    char out[64];
    snprintf(out, sizeof out, "[stream size=%llu crc32=%08lX]", size, crc ^ 0xFFFFFFFFUL);
    text_puts(line, out);
    return 1;
}

/* Prints one table: a header "#name<TAB>column:type..." unless quiet, then
   its rows sorted. Returns 0 on any failure (after saying why). */
static int dump_table(MSIHANDLE db, const wchar_t *table, int quiet) {
    /* Backquotes inside a name cannot be quoted in MSI SQL; such a name cannot exist. */
    size_t qlen = wcslen(table) + 32;
    wchar_t *query = checked_realloc(NULL, qlen * sizeof(wchar_t));
    _snwprintf(query, qlen, L"SELECT * FROM `%ls`", table);
    MSIHANDLE view = 0, names = 0, types = 0;
    UINT rc = MsiDatabaseOpenViewW(db, query, &view);
    free(query);
    if (rc != ERROR_SUCCESS) {
        report("MsiDatabaseOpenViewW", rc);
        return 0;
    }
    int ok = 0, stream_failed = 0;
    line_list rows = {0};
    wchar_t **type_codes = NULL;
    UINT columns = 0;
    if ((rc = MsiViewExecute(view, 0)) != ERROR_SUCCESS) {
        report("MsiViewExecute", rc);
        goto done;
    }
    if ((rc = MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, &names)) != ERROR_SUCCESS ||
        (rc = MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, &types)) != ERROR_SUCCESS) {
        report("MsiViewGetColumnInfo", rc);
        goto done;
    }
    columns = MsiRecordGetFieldCount(names);
    type_codes = checked_realloc(NULL, (columns + 1) * sizeof *type_codes);
    text header = {0};
    text_puts(&header, "#");
    text_escaped(&header, table);
    for (UINT c = 1; c <= columns; c++) {
        wchar_t *name = record_string(names, c);
        type_codes[c] = record_string(types, c);
        if (!name || !type_codes[c]) {
            free(name);
            free(header.data);
            columns = c - 1 + (type_codes[c] != NULL);
            goto done;
        }
        text_puts(&header, "\t");
        text_escaped(&header, name);
        text_puts(&header, ":");
        text_escaped(&header, type_codes[c]);
        free(name);
    }
    text_puts(&header, "\n");
    if (!quiet) write_out(header.data, header.size);
    free(header.data);

    for (;;) {
        MSIHANDLE rec = 0;
        rc = MsiViewFetch(view, &rec);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            report("MsiViewFetch", rc);
            goto done;
        }
        text line = {0};
        text_escaped(&line, table);
        for (UINT c = 1; c <= columns; c++) {
            text_puts(&line, "\t");
            if (MsiRecordIsNull(rec, c)) continue;
            wchar_t kind = type_codes[c][0];
            if (kind == L'v' || kind == L'V') {
                /* An unreadable stream leaves its field empty; the row and the
                   rest of the table still print, and the run fails. */
                if (!append_stream(&line, rec, c)) stream_failed = 1;
            } else {
                wchar_t *value = record_string(rec, c);
                if (!value) {
                    free(line.data);
                    MsiCloseHandle(rec);
                    goto done;
                }
                text_escaped(&line, value);
                free(value);
            }
        }
        text_puts(&line, "\n");
        lines_add(&rows, line.data);
        MsiCloseHandle(rec);
    }
    qsort(rows.items, rows.count, sizeof *rows.items, compare_lines);
    for (size_t i = 0; i < rows.count; i++) write_out(rows.items[i], strlen(rows.items[i]));
    /* What is printed stays printed should msi.dll crash on a later table. */
    fflush(stdout);
    ok = !stream_failed;
done:
    lines_free(&rows);
    if (type_codes)
        for (UINT c = 1; c <= columns; c++) free(type_codes[c]);
    free(type_codes);
    if (names) MsiCloseHandle(names);
    if (types) MsiCloseHandle(types);
    MsiViewClose(view);
    MsiCloseHandle(view);
    return ok;
}

/* Every table the catalog lists, sorted by name. */
static int table_names(MSIHANDLE db, line_list *out) {
    MSIHANDLE view = 0;
    UINT rc = MsiDatabaseOpenViewW(db, L"SELECT `Name` FROM `_Tables`", &view);
    if (rc != ERROR_SUCCESS) {
        report("MsiDatabaseOpenViewW", rc);
        return 0;
    }
    int ok = 1;
    if ((rc = MsiViewExecute(view, 0)) != ERROR_SUCCESS) {
        report("MsiViewExecute", rc);
        ok = 0;
    }
    while (ok) {
        MSIHANDLE rec = 0;
        rc = MsiViewFetch(view, &rec);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            report("MsiViewFetch", rc);
            ok = 0;
            break;
        }
        wchar_t *name = record_string(rec, 1);
        MsiCloseHandle(rec);
        if (!name) {
            ok = 0;
            break;
        }
        lines_add(out, (char *)name);
    }
    MsiViewClose(view);
    MsiCloseHandle(view);
    /* Names are compared by their UTF-8 bytes like every other sorted line;
       for UTF-16 that order equals code point order except above U+FFFF,
       which table names do not use. */
    qsort(out->items, out->count, sizeof *out->items, compare_wide);
    return ok;
}

/* "PREFIX<TAB>id<TAB>value" for every property the summary information holds. */
static int dump_summary(MSIHANDLE info, const char *prefix) {
    for (UINT pid = 0; pid < 64; pid++) {
        UINT type = 0;
        INT number = 0;
        FILETIME when = {0};
        wchar_t probe[1] = {0};
        DWORD n = 0;
        UINT rc = MsiSummaryInfoGetPropertyW(info, pid, &type, &number, &when, probe, &n);
        wchar_t *value = NULL;
        if (rc == ERROR_MORE_DATA) {
            n++;
            value = checked_realloc(NULL, n * sizeof(wchar_t));
            rc = MsiSummaryInfoGetPropertyW(info, pid, &type, &number, &when, value, &n);
        }
        if (rc == ERROR_UNKNOWN_PROPERTY) {
            free(value);
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            free(value);
            report("MsiSummaryInfoGetPropertyW", rc);
            return 0;
        }
        text line = {0};
        char buf[96];
        snprintf(buf, sizeof buf, "%s\t%u\t", prefix, pid);
        text_puts(&line, buf);
        int print = 1;
        switch (type) {
        case VT_I2:
        case VT_I4:
            snprintf(buf, sizeof buf, "%d", number);
            text_puts(&line, buf);
            break;
        case VT_LPSTR:
            text_escaped(&line, value ? value : probe);
            break;
        case VT_FILETIME: {
            /* The raw count of 100 ns ticks and, for people, the UTC time. */
            unsigned long long ticks = ((unsigned long long)when.dwHighDateTime << 32) | when.dwLowDateTime;
            SYSTEMTIME st;
            if (FileTimeToSystemTime(&when, &st))
                snprintf(buf, sizeof buf, "%llu (%04u-%02u-%02u %02u:%02u:%02u UTC)", ticks, st.wYear, st.wMonth,
                         st.wDay, st.wHour, st.wMinute, st.wSecond);
            else
                snprintf(buf, sizeof buf, "%llu", ticks);
            text_puts(&line, buf);
            break;
        }
        default: /* VT_EMPTY: the property is not set */
            print = 0;
        }
        free(value);
        text_puts(&line, "\n");
        if (print) write_out(line.data, line.size);
        free(line.data);
    }
    return 1;
}

static int summary_of_file(const wchar_t *path, const char *prefix) {
    MSIHANDLE info = 0;
    UINT rc = MsiGetSummaryInformationW(0, path, 0, &info);
    if (rc != ERROR_SUCCESS) {
        report("MsiGetSummaryInformationW", rc);
        return 0;
    }
    int ok = dump_summary(info, prefix);
    MsiCloseHandle(info);
    return ok;
}

/* Paths from a Unix shell ("/tmp/x.msi") name the Unix root, which Wine
   maps to drive Z:; relative paths resolve against the current folder, which
   Wine already maps. */
static wchar_t *windows_path(const wchar_t *arg) {
    size_t n = wcslen(arg);
    wchar_t *p = checked_realloc(NULL, (n + 3) * sizeof(wchar_t));
    if (arg[0] == L'/') {
        p[0] = L'Z';
        p[1] = L':';
        wcscpy(p + 2, arg);
    } else {
        wcscpy(p, arg);
    }
    for (wchar_t *c = p; *c; c++)
        if (*c == L'/') *c = L'\\';
    return p;
}

#include "statement_script.c"

static int usage(void) {
    fputs("usage: msi-api-dump [-t TABLE]... [-s] [-S] [-q] [-e CONDITIONS] [-o OUT.msi] PACKAGE.msi "
          "[TRANSFORM.mst]\n"
          "       msi-api-dump -x SCRIPT\n",
          stderr);
    return EXIT_USAGE;
}

int wmain(int argc, wchar_t **argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    crc32_init();
    if (argc == 3 && !wcscmp(argv[1], L"-x")) return run_script(argv[2]);

    line_list tables = {0}; /* wide names stored as char* */
    int quiet = 0, package_summary = 0, transform_summary = 0;
    int conditions = 0;
    const wchar_t *out_path = NULL, *positional[2] = {NULL, NULL};
    int npositional = 0;
    for (int i = 1; i < argc; i++) {
        const wchar_t *a = argv[i];
        if (!wcscmp(a, L"-t") || !wcscmp(a, L"-o") || !wcscmp(a, L"-e")) {
            if (i + 1 >= argc) return usage();
            const wchar_t *v = argv[++i];
            if (a[1] == L't') lines_add(&tables, (char *)_wcsdup(v));
            else if (a[1] == L'o') out_path = v;
            else {
                wchar_t *end = NULL;
                conditions = (int)wcstol(v, &end, 0);
                if (!*v || *end) return usage();
            }
        } else if (!wcscmp(a, L"-q")) quiet = 1;
        else if (!wcscmp(a, L"-s")) package_summary = 1;
        else if (!wcscmp(a, L"-S")) transform_summary = 1;
        else if (a[0] == L'-' && a[1]) return usage();
        else if (npositional < 2) positional[npositional++] = a;
        else return usage();
    }
    if (npositional == 0) return usage();
    if (transform_summary && npositional < 2) return usage();

    wchar_t *package = windows_path(positional[0]);
    wchar_t *transform = positional[1] ? windows_path(positional[1]) : NULL;

    if (transform_summary) return summary_of_file(transform, "MSTSUMMARY") ? 0 : EXIT_MSI;

    /* Work on a private copy: applying a transform and committing for -o
       must never touch the caller's file. */
    wchar_t temp_dir[MAX_PATH], copy[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, temp_dir) || !GetTempFileNameW(temp_dir, L"msd", 0, copy)) {
        report("GetTempFileNameW", GetLastError());
        return EXIT_MSI;
    }
    if (!CopyFileW(package, copy, FALSE)) {
        report("CopyFileW", GetLastError());
        DeleteFileW(copy);
        return EXIT_MSI;
    }
    SetFileAttributesW(copy, FILE_ATTRIBUTE_NORMAL);

    int status = 0;
    MSIHANDLE db = 0;
    UINT rc = MsiOpenDatabaseW(copy, MSIDBOPEN_TRANSACT, &db);
    if (rc != ERROR_SUCCESS) {
        report("MsiOpenDatabaseW", rc);
        DeleteFileW(copy);
        return EXIT_MSI;
    }
    if (transform && (rc = MsiDatabaseApplyTransformW(db, transform, conditions)) != ERROR_SUCCESS) {
        report("MsiDatabaseApplyTransformW", rc);
        status = EXIT_MSI;
        goto finish;
    }
    if (package_summary) {
        MSIHANDLE info = 0;
        if ((rc = MsiGetSummaryInformationW(db, NULL, 0, &info)) != ERROR_SUCCESS) {
            report("MsiGetSummaryInformationW", rc);
            status = EXIT_MSI;
            goto finish;
        }
        if (!dump_summary(info, "SUMMARY")) status = EXIT_MSI;
        MsiCloseHandle(info);
        fflush(stdout);
    }
    if (tables.count == 0 && !table_names(db, &tables)) {
        status = EXIT_MSI;
        goto finish;
    }
    /* A table that cannot be read is reported and the others still print. */
    for (size_t i = 0; i < tables.count; i++)
        if (!dump_table(db, (const wchar_t *)tables.items[i], quiet)) status = EXIT_MSI;
    if (out_path) {
        wchar_t *target = windows_path(out_path);
        if ((rc = MsiDatabaseCommit(db)) != ERROR_SUCCESS) {
            report("MsiDatabaseCommit", rc);
            status = EXIT_MSI;
        } else {
            MsiCloseHandle(db);
            db = 0;
            if (!CopyFileW(copy, target, FALSE)) {
                report("CopyFileW", GetLastError());
                status = EXIT_MSI;
            }
        }
        free(target);
    }
finish:
    if (db) MsiCloseHandle(db);
    DeleteFileW(copy);
    lines_free(&tables);
    free(package);
    free(transform);
    fflush(stdout);
    return status;
}
