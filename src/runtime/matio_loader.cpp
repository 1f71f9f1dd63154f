// The MAT-file library is loaded when the first MAT-file is read or
// written, not when the program starts. It brings a long chain of libraries
// with it (HDF5 and what that links) whose loading and relocation cost every
// process tens of milliseconds, although most runs (an instrument file, a
// call by name, a download) never touch a MAT-file.
//
// Each function of the library used here is defined below under its own
// name, with the signature its header declares, and forwards to the loaded
// library. The program is therefore not linked to the library at all.
#include <dlfcn.h>
#include <matio.h>

#include <mutex>
#include <string>

#include "base/diagnostics.hpp"

namespace {

void* library() {
    static void* handle = nullptr;
    static std::string failure;
    static std::once_flag once;
    std::call_once(once, [] {
        handle = ::dlopen(TOLVANE_MATIO_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            failure = why ? why : "unknown reason";
        }
    });
    if (!handle)
        throw tolvane::Error(std::string("The MAT-file library (") + TOLVANE_MATIO_SONAME +
                             ") could not be loaded: " + failure + ". Install the matio library.");
    return handle;
}

// The library's function `name`, with the type of our declaration of it.
template <typename F>
F* entry(const char* name) {
    void* symbol = ::dlsym(library(), name);
    if (!symbol)
        throw tolvane::Error(std::string("The MAT-file library (") + TOLVANE_MATIO_SONAME + ") lacks " + name + ".");
    return reinterpret_cast<F*>(symbol);
}

}  // namespace

// Each forwarder looks its target up once and keeps it.
#define TOLVANE_FORWARD(name)                                           \
    static auto* const target = entry<decltype(::name)>(#name);          \
    return target

int Mat_LogInitFunc(const char* prog_name, void (*log_func)(int log_level, char* message)) {
    TOLVANE_FORWARD(Mat_LogInitFunc)(prog_name, log_func);
}
mat_t* Mat_CreateVer(const char* matname, const char* hdr_str, enum mat_ft mat_file_ver) {
    TOLVANE_FORWARD(Mat_CreateVer)(matname, hdr_str, mat_file_ver);
}
int Mat_Close(mat_t* mat) { TOLVANE_FORWARD(Mat_Close)(mat); }
mat_t* Mat_Open(const char* matname, int mode) { TOLVANE_FORWARD(Mat_Open)(matname, mode); }
matvar_t* Mat_VarCreate(const char* name, enum matio_classes class_type, enum matio_types data_type, int rank,
                        size_t* dims, void* data, int opt) {
    TOLVANE_FORWARD(Mat_VarCreate)(name, class_type, data_type, rank, dims, data, opt);
}
matvar_t* Mat_VarCreateStruct(const char* name, int rank, size_t* dims, const char** fields, unsigned nfields) {
    TOLVANE_FORWARD(Mat_VarCreateStruct)(name, rank, dims, fields, nfields);
}
void Mat_VarFree(matvar_t* matvar) { TOLVANE_FORWARD(Mat_VarFree)(matvar); }
matvar_t* Mat_VarGetCell(matvar_t* matvar, int index) { TOLVANE_FORWARD(Mat_VarGetCell)(matvar, index); }
unsigned Mat_VarGetNumberOfFields(matvar_t* matvar) { TOLVANE_FORWARD(Mat_VarGetNumberOfFields)(matvar); }
char* const* Mat_VarGetStructFieldnames(const matvar_t* matvar) {
    TOLVANE_FORWARD(Mat_VarGetStructFieldnames)(matvar);
}
matvar_t* Mat_VarGetStructFieldByIndex(matvar_t* matvar, size_t field_index, size_t index) {
    TOLVANE_FORWARD(Mat_VarGetStructFieldByIndex)(matvar, field_index, index);
}
matvar_t* Mat_VarReadNext(mat_t* mat) { TOLVANE_FORWARD(Mat_VarReadNext)(mat); }
matvar_t* Mat_VarSetCell(matvar_t* matvar, int index, matvar_t* cell) {
    TOLVANE_FORWARD(Mat_VarSetCell)(matvar, index, cell);
}
matvar_t* Mat_VarSetStructFieldByIndex(matvar_t* matvar, size_t field_index, size_t index, matvar_t* field) {
    TOLVANE_FORWARD(Mat_VarSetStructFieldByIndex)(matvar, field_index, index, field);
}
int Mat_VarWrite(mat_t* mat, matvar_t* matvar, enum matio_compression compress) {
    TOLVANE_FORWARD(Mat_VarWrite)(mat, matvar, compress);
}
