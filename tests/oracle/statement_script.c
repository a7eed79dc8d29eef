/*
 * Statements run through msi.dll, case by case, on private copies of
 * packages, with every outcome printed so that another engine's answers can
 * be compared line by line. Included by msi-api-dump.c (-x SCRIPT).
 *
 * The script is UTF-8 text, one directive a line, fields separated by tabs
 * (a field's own backslash, tab, newline, return and other control
 * characters escaped as in the output: \\ \t \n \r \xHH):
 *
 *   CASE   name  PACKAGE.msi         a fresh copy of the package, opened to transact
 *   SQL    statement  [value]...     OpenView, Execute with a record of the
 *                                    values when any are given, and for a
 *                                    SELECT Fetch to the end
 *   MODIFY mode  query  fetch  [N=value]...
 *                                    OpenView and Execute of the query; the record
 *                                    is the first fetched one (fetch 1) or a new
 *                                    one of the view's column count (fetch 0);
 *                                    field N is set, then MsiViewModify in mode
 *                                    (seek refresh insert update assign replace
 *                                    merge delete insert_temporary)
 *   END    [table]...                commit, reopen the copy and dump the tables
 *   FILE   name  PACKAGE.msi  [table]...   dump the tables of a package as it is
 *
 * A value is "i:NUMBER", "s:TEXT", "n" (NULL) or "b:TEXT": a stream of TEXT's
 * UTF-8 bytes, set from a file with MsiRecordSetStream.
 *
 * Output, per case:
 *   CASE name
 *   STEP 1 ok | STEP 1 error CODE        CODE: the first failing call's result
 *   ROW <TAB>field...                     fetched rows in fetch order; after a
 *                                         modify, the record as it stands
 *   COMMIT ok | COMMIT error CODE
 *   the dump of each table (header, then sorted rows), then END
 */

typedef struct {
    wchar_t **fields;
    size_t count;
} directive;

/* One line of the script split at tabs, unescaped and made UTF-16. */
static int next_directive(FILE *in, directive *d) {
    text line = {0};
    int c;
    while ((c = fgetc(in)) != EOF && c != '\n') text_byte(&line, (unsigned char)c);
    if (c == EOF && line.size == 0) {
        free(line.data);
        return 0;
    }
    d->fields = NULL;
    d->count = 0;
    size_t start = 0;
    for (size_t i = 0; i <= line.size; i++) {
        if (i < line.size && line.data[i] != '\t') continue;
        /* Unescape in place: the result is never longer. */
        char *field = line.data + start;
        size_t n = 0;
        for (size_t k = start; k < i; k++) {
            char ch = line.data[k];
            if (ch == '\\' && k + 1 < i) {
                char e = line.data[++k];
                if (e == 'x' && k + 2 < i) {
                    char hex[3] = {line.data[k + 1], line.data[k + 2], 0};
                    ch = (char)strtol(hex, NULL, 16);
                    k += 2;
                } else {
                    ch = e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
                }
            }
            field[n++] = ch;
        }
        int wide = MultiByteToWideChar(CP_UTF8, 0, field, (int)n, NULL, 0);
        wchar_t *w = checked_realloc(NULL, (size_t)(wide + 1) * sizeof(wchar_t));
        MultiByteToWideChar(CP_UTF8, 0, field, (int)n, w, wide);
        w[wide] = 0;
        d->fields = checked_realloc(d->fields, (d->count + 1) * sizeof *d->fields);
        d->fields[d->count++] = w;
        start = i + 1;
    }
    free(line.data);
    return 1;
}

static void directive_free(directive *d) {
    for (size_t i = 0; i < d->count; i++) free(d->fields[i]);
    free(d->fields);
    d->fields = NULL;
    d->count = 0;
}

static void print_outcome(const char *what, unsigned step, UINT rc) {
    if (rc == ERROR_SUCCESS) printf("%s %u ok\n", what, step);
    else printf("%s %u error %u\n", what, step, rc);
}

/* A stream field of the bytes of `utf16` in UTF-8: msi.dll takes streams
   only from files, so they go through a temporary one. */
static UINT set_stream(MSIHANDLE rec, UINT index, const wchar_t *utf16) {
    wchar_t dir[MAX_PATH], file[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, dir) || !GetTempFileNameW(dir, L"mss", 0, file)) return ERROR_FUNCTION_FAILED;
    int n = WideCharToMultiByte(CP_UTF8, 0, utf16, -1, NULL, 0, NULL, NULL);
    char *bytes = checked_realloc(NULL, (size_t)(n > 0 ? n : 1));
    WideCharToMultiByte(CP_UTF8, 0, utf16, -1, bytes, n, NULL, NULL);
    FILE *out = _wfopen(file, L"wb");
    UINT rc = ERROR_FUNCTION_FAILED;
    if (out) {
        size_t size = n > 0 ? (size_t)n - 1 : 0;
        int written = fwrite(bytes, 1, size, out) == size;
        if (fclose(out) == 0 && written) rc = MsiRecordSetStreamW(rec, index, file);
    }
    free(bytes);
    DeleteFileW(file);
    return rc;
}

/* "i:5", "s:text", "b:bytes" or "n" into field `index` of `rec`. */
static UINT set_value(MSIHANDLE rec, UINT index, const wchar_t *value) {
    if (value[0] == L'i' && value[1] == L':') return MsiRecordSetInteger(rec, index, _wtoi(value + 2));
    if (value[0] == L's' && value[1] == L':') return MsiRecordSetStringW(rec, index, value + 2);
    if (value[0] == L'b' && value[1] == L':') return set_stream(rec, index, value + 2);
    return MsiRecordSetStringW(rec, index, L"");
}

/* "ROW" and the record's fields: streams as size and CRC-32 when the view
   says the column is binary, NULL as an empty field. */
static void print_record(MSIHANDLE view, MSIHANDLE rec) {
    MSIHANDLE types = 0;
    MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, &types);
    UINT n = MsiRecordGetFieldCount(rec);
    text line = {0};
    text_puts(&line, "ROW");
    for (UINT c = 1; c <= n; c++) {
        text_puts(&line, "\t");
        if (MsiRecordIsNull(rec, c)) continue;
        wchar_t *type = types ? record_string(types, c) : NULL;
        int binary = type && (type[0] == L'v' || type[0] == L'V');
        free(type);
        if (binary) {
            append_stream(&line, rec, c);
        } else {
            wchar_t *value = record_string(rec, c);
            if (value) text_escaped(&line, value);
            free(value);
        }
    }
    text_puts(&line, "\n");
    write_out(line.data, line.size);
    free(line.data);
    if (types) MsiCloseHandle(types);
}

static UINT run_sql(MSIHANDLE db, const directive *d) {
    MSIHANDLE view = 0, params = 0;
    UINT rc = MsiDatabaseOpenViewW(db, d->fields[1], &view);
    if (rc != ERROR_SUCCESS) return rc;
    if (d->count > 2) {
        params = MsiCreateRecord((UINT)(d->count - 2));
        for (size_t i = 2; i < d->count; i++) set_value(params, (UINT)(i - 1), d->fields[i]);
    }
    rc = MsiViewExecute(view, params);
    /* Only a SELECT has rows to fetch; what Fetch gives on other views is
       no part of the documented interface. */
    const wchar_t *verb = d->fields[1];
    while (*verb == L' ' || *verb == L'\t' || *verb == L'\r' || *verb == L'\n') verb++;
    int select = !_wcsnicmp(verb, L"SELECT", 6);
    while (select && rc == ERROR_SUCCESS) {
        MSIHANDLE rec = 0;
        UINT f = MsiViewFetch(view, &rec);
        if (f == ERROR_NO_MORE_ITEMS) break;
        if (f != ERROR_SUCCESS) {
            rc = f;
            break;
        }
        print_record(view, rec);
        MsiCloseHandle(rec);
    }
    if (params) MsiCloseHandle(params);
    MsiViewClose(view);
    MsiCloseHandle(view);
    return rc;
}

static int modify_mode(const wchar_t *name) {
    static const struct {
        const wchar_t *name;
        int mode;
    } modes[] = {{L"seek", MSIMODIFY_SEEK},       {L"refresh", MSIMODIFY_REFRESH}, {L"insert", MSIMODIFY_INSERT},
                 {L"update", MSIMODIFY_UPDATE},   {L"assign", MSIMODIFY_ASSIGN},   {L"replace", MSIMODIFY_REPLACE},
                 {L"merge", MSIMODIFY_MERGE},     {L"delete", MSIMODIFY_DELETE},
                 {L"insert_temporary", MSIMODIFY_INSERT_TEMPORARY}};
    for (size_t i = 0; i < sizeof modes / sizeof *modes; i++)
        if (!wcscmp(name, modes[i].name)) return modes[i].mode;
    return -100;
}

static UINT run_modify(MSIHANDLE db, const directive *d) {
    if (d->count < 4) return ERROR_INVALID_PARAMETER;
    int mode = modify_mode(d->fields[1]);
    if (mode == -100) return ERROR_INVALID_PARAMETER;
    MSIHANDLE view = 0, rec = 0;
    UINT rc = MsiDatabaseOpenViewW(db, d->fields[2], &view);
    if (rc != ERROR_SUCCESS) return rc;
    if ((rc = MsiViewExecute(view, 0)) != ERROR_SUCCESS) goto done;
    if (!wcscmp(d->fields[3], L"1")) {
        if ((rc = MsiViewFetch(view, &rec)) != ERROR_SUCCESS) goto done;
    } else {
        MSIHANDLE names = 0;
        if ((rc = MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, &names)) != ERROR_SUCCESS) goto done;
        rec = MsiCreateRecord(MsiRecordGetFieldCount(names));
        MsiCloseHandle(names);
    }
    for (size_t i = 4; i < d->count; i++) {
        wchar_t *eq = wcschr(d->fields[i], L'=');
        if (!eq) {
            rc = ERROR_INVALID_PARAMETER;
            goto done;
        }
        set_value(rec, (UINT)_wtoi(d->fields[i]), eq + 1);
    }
    rc = MsiViewModify(view, mode, rec);
    if (rc == ERROR_SUCCESS) print_record(view, rec);
done:
    if (rec) MsiCloseHandle(rec);
    MsiViewClose(view);
    MsiCloseHandle(view);
    return rc;
}

/* The named tables of a package file, opened read-only. */
static void dump_file_tables(const wchar_t *path, const directive *d, size_t first) {
    MSIHANDLE db = 0;
    UINT rc = MsiOpenDatabaseW(path, MSIDBOPEN_READONLY, &db);
    if (rc != ERROR_SUCCESS) {
        printf("OPEN error %u\n", rc);
        return;
    }
    for (size_t i = first; i < d->count; i++)
        if (!dump_table(db, d->fields[i], 0)) printf("DUMP error %ls\n", d->fields[i]);
    MsiCloseHandle(db);
}

static int run_script(const wchar_t *script) {
    wchar_t *script_path = windows_path(script);
    FILE *in = _wfopen(script_path, L"rb");
    free(script_path);
    if (!in) {
        fputs("cannot open the script\n", stderr);
        return EXIT_USAGE;
    }
    wchar_t temp_dir[MAX_PATH], copy[MAX_PATH] = {0};
    if (!GetTempPathW(MAX_PATH, temp_dir)) return EXIT_MSI;
    MSIHANDLE db = 0;
    unsigned step = 0;
    directive d;
    while (next_directive(in, &d)) {
        const wchar_t *verb = d.count ? d.fields[0] : L"";
        if (!wcscmp(verb, L"CASE") && d.count == 3) {
            printf("CASE %ls\n", d.fields[1]);
            step = 0;
            wchar_t *package = windows_path(d.fields[2]);
            if (!GetTempFileNameW(temp_dir, L"msx", 0, copy) || !CopyFileW(package, copy, FALSE)) {
                printf("OPEN error %lu\n", GetLastError());
            } else {
                SetFileAttributesW(copy, FILE_ATTRIBUTE_NORMAL);
                UINT rc = MsiOpenDatabaseW(copy, MSIDBOPEN_TRANSACT, &db);
                if (rc != ERROR_SUCCESS) printf("OPEN error %u\n", rc);
            }
            free(package);
        } else if (!wcscmp(verb, L"SQL") && d.count >= 2) {
            print_outcome("STEP", ++step, db ? run_sql(db, &d) : ERROR_INVALID_HANDLE);
        } else if (!wcscmp(verb, L"MODIFY")) {
            print_outcome("STEP", ++step, db ? run_modify(db, &d) : ERROR_INVALID_HANDLE);
        } else if (!wcscmp(verb, L"END")) {
            if (db) {
                UINT rc = MsiDatabaseCommit(db);
                printf(rc == ERROR_SUCCESS ? "COMMIT ok\n" : "COMMIT error %u\n", rc);
                MsiCloseHandle(db);
                db = 0;
                if (rc == ERROR_SUCCESS) dump_file_tables(copy, &d, 1);
            }
            if (copy[0]) DeleteFileW(copy);
            copy[0] = 0;
            printf("END\n");
        } else if (!wcscmp(verb, L"FILE") && d.count >= 3) {
            printf("CASE %ls\n", d.fields[1]);
            wchar_t *package = windows_path(d.fields[2]);
            dump_file_tables(package, &d, 3);
            free(package);
            printf("END\n");
        } else {
            fputs("unknown directive in the script\n", stderr);
            directive_free(&d);
            fclose(in);
            return EXIT_USAGE;
        }
        fflush(stdout);
        directive_free(&d);
    }
    fclose(in);
    if (db) MsiCloseHandle(db);
    if (copy[0]) DeleteFileW(copy);
    return 0;
}
