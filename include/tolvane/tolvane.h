/* The exported C entries of the Tolvane library.
 *
 * Life cycle: TolvaneInitialize() once before any call, TolvaneTerminate()
 * at the end. Calls by name between the two behave as the library's by-name
 * entries: the declared input and output counts are checked first (outputs,
 * then inputs), absent inputs are uninitialised, and an asked-for output the
 * function leaves unassigned comes back uninitialised with a warning.
 *
 * Status convention: every entry that returns int returns 0 on success and
 * non-zero on failure; tolvane_last_error() then gives the reason.
 *
 * Values: opaque handles owned by the caller. Every function that returns a
 * tolvane_value* hands over a new value that the caller releases with
 * tolvane_free(). Values passed in are copied, never taken over or changed.
 * Matrices are column-major; positions are 0-based here.
 *
 * Everything here runs on one thread; the texts returned stay valid until
 * the next call of an entry that sets them.
 */
#ifndef TOLVANE_H
#define TOLVANE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The library is built with hidden symbols; only the entries declared in
   this header are exported. */
#if defined(__GNUC__)
#pragma GCC visibility push(default)
#endif

typedef struct tolvane_value tolvane_value;

typedef enum tolvane_kind {
    TOLVANE_UNSET = 0,   /* uninitialised (distinct from empty) */
    TOLVANE_REAL = 1,    /* real double matrix */
    TOLVANE_COMPLEX = 2, /* complex double matrix */
    TOLVANE_CHAR = 3,    /* character row */
    TOLVANE_RECORD = 4,  /* record with named fields */
    TOLVANE_CELL = 5,    /* cell list or matrix */
    TOLVANE_HANDLE = 6   /* window or graphics handle (a double) */
} tolvane_kind;

/* ---- Library life cycle ---------------------------------------------------- */

/* Registers every function, declares the globals, builds the constants.
   Calling it again while initialised does nothing and succeeds. */
int TolvaneInitialize(void);
/* Releases the constants, the registrations and the globals. Calls by name
   afterwards fail until the library is initialised again. */
void TolvaneTerminate(void);
/* The application entry: opens the application in its windows and returns
   when File > Exit has closed the main window. It uses the host's
   QApplication when there is one and makes its own otherwise. Fails with the
   reason in tolvane_last_error() when the library was built without its
   desktop front end, or when no display is available (set DISPLAY, or
   QT_QPA_PLATFORM=offscreen). */
int OneX_Fwd_c(void);

/* ---- Calls by name -------------------------------------------------------- */

/* Calls the function `name` with nrhs inputs and nlhs requested outputs.
   rhs[i] may be NULL for an absent (uninitialised) input. lhs must have room
   for max(nlhs, 1) values: place 0 is always written (it may hold an
   uninitialised value), places 1..nlhs-1 follow. On failure every lhs place
   is set to NULL and non-zero is returned; the run-time error text (for
   example the argument-count message) is in tolvane_last_error(). */
int tolvane_call(const char* name, int nlhs, tolvane_value** lhs, int nrhs, tolvane_value* const* rhs);

/* The library's version, "MAJOR.MINOR.PATCH"; callable at any time, also
   before TolvaneInitialize(). */
const char* tolvane_version(void);

/* The text of the last failure ("" when the last entry succeeded). */
const char* tolvane_last_error(void);

/* The warnings raised by the last tolvane_call, one per line, each line
   ending in '\n' ("" when there were none). Warnings raised inside calls are
   collected here and not printed. */
const char* tolvane_last_warnings(void);

/* ---- Values --------------------------------------------------------------- */

tolvane_value* tolvane_unset(void);
tolvane_value* tolvane_scalar(double x);
/* A rows x cols real matrix from column-major data (NULL gives zeros). */
tolvane_value* tolvane_real_matrix(size_t rows, size_t cols, const double* data);
/* A rows x cols complex matrix from separate real and imaginary parts,
   column-major (NULL for either part gives zeros). */
tolvane_value* tolvane_complex_matrix(size_t rows, size_t cols, const double* re, const double* im);
/* A character row from a NUL-terminated text. */
tolvane_value* tolvane_text(const char* text);
/* A record without fields. */
tolvane_value* tolvane_record(void);
/* A 1 x n cell list holding copies of items (NULL items are uninitialised). */
tolvane_value* tolvane_cell(size_t n, tolvane_value* const* items);
tolvane_value* tolvane_copy(const tolvane_value* value);
void tolvane_free(tolvane_value* value);

/* Kind and shape; a NULL value counts as uninitialised with 0 x 0. */
tolvane_kind tolvane_kind_of(const tolvane_value* value);
int tolvane_is_unset(const tolvane_value* value);
size_t tolvane_rows(const tolvane_value* value);
size_t tolvane_cols(const tolvane_value* value);
size_t tolvane_numel(const tolvane_value* value);

/* The column-major elements of a real matrix (NULL for other kinds or when
   empty); valid while the value lives and is not changed. */
const double* tolvane_real_data(const tolvane_value* value);
/* Copies up to n elements of a real, complex or handle value into re and
   (when not NULL) im; a real value gives zero imaginary parts. Returns the
   number of elements copied, or -1 for a value that is not numeric. */
long tolvane_get_numbers(const tolvane_value* value, double* re, double* im, size_t n);
/* The text of a character row (NUL-terminated), NULL for other kinds. */
const char* tolvane_text_data(const tolvane_value* value);

/* Record fields. tolvane_field returns a copy of the field, NULL when the
   value is not a record or has no such field. tolvane_set_field stores a
   copy of field (NULL stores an uninitialised value), appending a new field
   at the end; it fails for a value that is not a record. */
size_t tolvane_field_count(const tolvane_value* record);
const char* tolvane_field_name(const tolvane_value* record, size_t index);
tolvane_value* tolvane_field(const tolvane_value* record, const char* name);
int tolvane_set_field(tolvane_value* record, const char* name, const tolvane_value* field);

/* Cell items in linear (column-major) order: a copy, NULL out of range. */
tolvane_value* tolvane_cell_item(const tolvane_value* cell, size_t index);

#if defined(__GNUC__)
#pragma GCC visibility pop
#endif

#ifdef __cplusplus
}
#endif

#endif /* TOLVANE_H */
