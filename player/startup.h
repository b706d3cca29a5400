// The program's start-up: ProgramMain runs the whole program from the command line to the exit code.
#pragma once

#include <span>

#include "runtime/app/command.h"
#include "runtime/app/startup_config.h"
#include "runtime/vm/vm.h"

// Runs the program: options, applet, libraries (in the order given), preloading, the main chunk, the error
// report and shutdown. Returns the exit code: 0 on success, 1 after a reported error, 2 for a usage error.
int ProgramMain(int argc, char **argv, std::span<const LibraryDescriptor> libraries);

// The registration order of the nineteen libraries, and the order their free-all functions run at shutdown.
extern const char *const kLibraryRegistrationOrder[19];
extern const char *const kLibraryFreeOrder[15];
