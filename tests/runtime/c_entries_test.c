/* The exported C entries, used from C as a host program would. Prints each
   failed check and exits non-zero when any failed. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <tolvane/tolvane.h>

static int failures = 0;

#define CHECK(cond)                                                      \
    do {                                                                 \
        if (!(cond)) {                                                   \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                  \
        }                                                                \
    } while (0)

#define CHECK_TEXT(actual, expected)                                                          \
    do {                                                                                      \
        const char* a_ = (actual);                                                            \
        if (!a_ || strcmp(a_, (expected)) != 0) {                                             \
            fprintf(stderr, "%s:%d: text differs\n  got:      %s\n  expected: %s\n", __FILE__, \
                    __LINE__, a_ ? a_ : "(null)", (expected));                                \
            ++failures;                                                                       \
        }                                                                                     \
    } while (0)

static int contains(const char* text, const char* part) { return text && strstr(text, part) != NULL; }

static void before_initialisation(void) {
    tolvane_value* out[1];
    tolvane_value* arg = tolvane_scalar(1);
    CHECK(tolvane_call("GenerateBitStream", 1, out, 1, &arg) != 0);
    CHECK(out[0] == NULL);
    CHECK(contains(tolvane_last_error(), "TolvaneInitialize"));
    tolvane_free(arg);
}

/* Without a screen the entry refuses with its reason instead of letting Qt
   end the process; without the front end it says that it is not built. */
static void application_entry(void) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    CHECK(OneX_Fwd_c() != 0);
#ifdef TOLVANE_DESKTOP_IN_LIBRARY
    CHECK(contains(tolvane_last_error(),
                   "No display is available for the windows: set DISPLAY, or QT_QPA_PLATFORM=offscreen to run "
                   "them without a screen."));
#else
    CHECK_TEXT(tolvane_last_error(), "The desktop front end is not built.");
#endif
}

static void count_message(void) {
    tolvane_value* in[6];
    tolvane_value* stale = tolvane_scalar(0);
    tolvane_value* out[1];
    double args[6] = {9, 20, 0, 1, 0, 0};
    int i;
    for (i = 0; i < 6; ++i) in[i] = tolvane_scalar(args[i]);
    out[0] = stale; /* a failed call sets its output places to NULL */
    CHECK(tolvane_call("PNgenerator", 1, out, 6, in) != 0);
    CHECK_TEXT(tolvane_last_error(),
               "Run-time Error: File: PNgenerator Line: 1 Column: 1 The function \"PNgenerator\" was called "
               "with more than the declared number of inputs (5).");
    CHECK(out[0] == NULL);
    tolvane_free(stale);
    for (i = 0; i < 6; ++i) tolvane_free(in[i]);
}

static void unassigned_output(void) {
    tolvane_value* in[2];
    tolvane_value* out[1] = {NULL};
    in[0] = tolvane_scalar(9);
    in[1] = tolvane_scalar(5);
    CHECK(tolvane_call("GenerateBitStream", 1, out, 2, in) == 0);
    CHECK(out[0] != NULL);
    CHECK(tolvane_is_unset(out[0]));
    CHECK(tolvane_kind_of(out[0]) == TOLVANE_UNSET);
    CHECK(contains(tolvane_last_warnings(), "\"bits\""));
    CHECK(contains(tolvane_last_warnings(), "\"GenerateBitStream\""));
    CHECK_TEXT(tolvane_last_error(), "");
    tolvane_free(out[0]);
    tolvane_free(in[0]);
    tolvane_free(in[1]);
}

static void pn9_bits(void) {
    /* Nine ones, then x(i) = x(i-9) xor x(i-5). */
    const double expected[20] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1};
    tolvane_value* in[2];
    tolvane_value* out[1] = {NULL};
    const double* bits;
    in[0] = tolvane_scalar(5);
    in[1] = tolvane_scalar(20);
    CHECK(tolvane_call("GenerateBitStream", 1, out, 2, in) == 0);
    CHECK(tolvane_kind_of(out[0]) == TOLVANE_REAL);
    CHECK(tolvane_rows(out[0]) == 1 && tolvane_cols(out[0]) == 20);
    bits = tolvane_real_data(out[0]);
    CHECK(bits != NULL && memcmp(bits, expected, sizeof expected) == 0);
    CHECK_TEXT(tolvane_last_warnings(), "");
    tolvane_free(out[0]);
    tolvane_free(in[0]);
    tolvane_free(in[1]);
}

static void complex_result(void) {
    /* Idle-slot filler: four chips of complex noise when active. */
    tolvane_value* in[3];
    tolvane_value* out[1] = {NULL};
    double re[4], im[4];
    in[0] = tolvane_scalar(1);
    in[1] = tolvane_scalar(-10);
    in[2] = tolvane_scalar(4);
    CHECK(tolvane_call("OneX_FwdIdleSlot", 1, out, 3, in) == 0);
    CHECK(tolvane_kind_of(out[0]) == TOLVANE_COMPLEX);
    CHECK(tolvane_numel(out[0]) == 4);
    CHECK(tolvane_real_data(out[0]) == NULL);
    CHECK(tolvane_get_numbers(out[0], re, im, 4) == 4);
    CHECK(isfinite(re[0]) && isfinite(im[3]) && (re[0] != 0 || im[0] != 0));
    tolvane_free(out[0]);
    tolvane_free(in[0]);
    tolvane_free(in[1]);
    tolvane_free(in[2]);
}

static void unknown_function(void) {
    tolvane_value* out[1];
    CHECK(tolvane_call("NoSuchFunction", 1, out, 0, NULL) != 0);
    CHECK(contains(tolvane_last_error(), "\"NoSuchFunction\""));
}

static void value_api(void) {
    const double m[6] = {1, 2, 3, 4, 5, 6}; /* 2 x 3, column-major */
    const double re[2] = {1, -1}, im[2] = {0.5, 2};
    double back_re[2], back_im[2];
    tolvane_value* rec = tolvane_record();
    tolvane_value* mat = tolvane_real_matrix(2, 3, m);
    tolvane_value* z = tolvane_complex_matrix(1, 2, re, im);
    tolvane_value* name = tolvane_text("OneX-Fwd - Format 1.2");
    tolvane_value* items[2];
    tolvane_value* list;
    tolvane_value* got;

    CHECK(tolvane_set_field(rec, "OverSampling", mat) == 0);
    CHECK(tolvane_set_field(rec, "wave", z) == 0);
    CHECK(tolvane_set_field(rec, "id", name) == 0);
    CHECK(tolvane_set_field(mat, "x", name) != 0); /* not a record */
    CHECK(tolvane_field_count(rec) == 3);
    CHECK_TEXT(tolvane_field_name(rec, 1), "wave");
    CHECK(tolvane_field(rec, "missing") == NULL);

    got = tolvane_field(rec, "OverSampling");
    CHECK(tolvane_rows(got) == 2 && tolvane_cols(got) == 3);
    CHECK(tolvane_real_data(got) != NULL && tolvane_real_data(got)[4] == 5);
    tolvane_free(got);

    got = tolvane_field(rec, "wave");
    CHECK(tolvane_kind_of(got) == TOLVANE_COMPLEX);
    CHECK(tolvane_get_numbers(got, back_re, back_im, 2) == 2);
    CHECK(back_re[1] == -1 && back_im[0] == 0.5 && back_im[1] == 2);
    tolvane_free(got);

    got = tolvane_field(rec, "id");
    CHECK_TEXT(tolvane_text_data(got), "OneX-Fwd - Format 1.2");
    CHECK(tolvane_text_data(mat) == NULL);
    tolvane_free(got);

    /* Setting a field stores a copy: changing the source later does not
       reach the record. */
    tolvane_free(name);
    name = tolvane_text("other");
    got = tolvane_field(rec, "id");
    CHECK_TEXT(tolvane_text_data(got), "OneX-Fwd - Format 1.2");
    tolvane_free(got);

    items[0] = name;
    items[1] = NULL;
    list = tolvane_cell(2, items);
    CHECK(tolvane_kind_of(list) == TOLVANE_CELL && tolvane_numel(list) == 2);
    got = tolvane_cell_item(list, 1);
    CHECK(got != NULL && tolvane_is_unset(got));
    tolvane_free(got);
    CHECK(tolvane_cell_item(list, 2) == NULL);
    CHECK(tolvane_get_numbers(list, back_re, NULL, 2) == -1);
    CHECK(tolvane_is_unset(NULL));

    tolvane_free(list);
    tolvane_free(name);
    tolvane_free(z);
    tolvane_free(mat);
    tolvane_free(rec);
}

/* Every listed function answers by name: asking for more outputs than any of
   them declares stops at the count check, before the body runs, with the
   function's own message. The names come from the shared table file. */
static void listed_names(void) {
    FILE* table = fopen(TOLVANE_LIBRARY_NAMES, "r");
    char line[256];
    int count = 0;
    CHECK(table != NULL);
    if (!table) return;
    while (fgets(line, sizeof line, table)) {
        tolvane_value* out[64];
        char expected[512];
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] == '\0' || line[0] == '#') continue;
        ++count;
        snprintf(expected, sizeof expected,
                 "The function \"%s\" was called with more than the declared number of outputs", line);
        if (tolvane_call(line, 64, out, 0, NULL) == 0 || !contains(tolvane_last_error(), expected)) {
            fprintf(stderr, "%s: not answered by name: %s\n", line, tolvane_last_error());
            ++failures;
        }
    }
    fclose(table);
    CHECK(count == 94);
}

/* The window entries run on the headless platform in a host without windows
   of its own; what needs the running application says so. */
static void window_entries(void) {
    tolvane_value* out[1];
    tolvane_value* in[3];
    CHECK(tolvane_call("QV_PlotCCDF", 1, out, 0, NULL) == 0);
    CHECK(tolvane_kind_of(out[0]) == TOLVANE_HANDLE);
    tolvane_free(out[0]);

    in[0] = tolvane_text("addFileExtention");
    in[1] = tolvane_text("setup");
    in[2] = tolvane_text(".mat");
    CHECK(tolvane_call("rfCommonUI", 1, out, 3, in) == 0);
    CHECK_TEXT(tolvane_text_data(out[0]), "setup.mat");
    tolvane_free(out[0]);
    tolvane_free(in[0]);

    in[0] = tolvane_text("pbDownload_Callback");
    CHECK(tolvane_call("rfCommonUI", 1, out, 1, in) != 0);
    CHECK(contains(tolvane_last_error(), "the application is not running"));
    tolvane_free(in[0]);
    tolvane_free(in[1]);
    tolvane_free(in[2]);
}

int main(void) {
    before_initialisation();
    value_api();
    CHECK(TolvaneInitialize() == 0);
    application_entry();
    count_message();
    unassigned_output();
    pn9_bits();
    complex_result();
    unknown_function();
    listed_names();
    window_entries();
    TolvaneTerminate();
    before_initialisation(); /* and after termination */

    if (failures) {
        fprintf(stderr, "c_entries: %d check(s) failed\n", failures);
        return 1;
    }
    printf("c_entries: all checks passed\n");
    return 0;
}
