// The session seen by name: the globals `parameters`, `SigGenSettings`,
// `configuration`, `waveform` and `markers` as views of the process
// session's typed state, and the main window's local functions that need no
// window (the record defaults and Calculate) as thin wrappers of its jobs.
#pragma once

namespace tolvane {

class Library;

// Binds the views and registers the functions on `lib`.
void registerSession(Library& lib);

// Adds registerSession to the process library's extensions, once; every
// host that calls by name (the command line, the shared library, the
// application, tests) calls this before it initialises the library.
void installSession();

}  // namespace tolvane
