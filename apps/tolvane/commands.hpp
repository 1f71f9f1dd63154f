// The subcommands of the tolvane program. Each takes the arguments that
// follow its name (argv[0] is the subcommand's name) and returns the exit
// status: 0 success, 1 a run-time failure, 2 a usage error.
#pragma once

namespace tolvane::cli {

// tolvane call NAME [--nargout K] [ARG...]
int runCall(int argc, char** argv);

// tolvane generate ...
int runGenerate(int argc, char** argv);

// tolvane download, play, check, sim (the instrument commands)
int runDownload(int argc, char** argv);
int runPlay(int argc, char** argv);
int runCheck(int argc, char** argv);
int runSim(int argc, char** argv);

// tolvane analyze FILE ... (the verification receiver's report of a recording)
int runAnalyze(int argc, char** argv);

// tolvane app --script FILE (the application on the headless platform)
int runApp(int argc, char** argv);

// tolvane plot KIND --out FILE (built with the Qt front end only)
int runPlot(int argc, char** argv);

}  // namespace tolvane::cli
