// The fixed start-up sequence, from the process entry to the event loop.
#pragma once

struct ApplicationIdentity;

namespace Startup {

// The program's name, icon and desktop entry, given to the runtime.
ApplicationIdentity Identity();

// Creates the application object with MenuBar1 as its menu bar and registers it.
void NewAppInstance();
// Binds the application's eight menu handlers by item name.
void ApplicationAddMenuHandlers();
// Everything before the event loop: the application object and its handlers.
void EarlyStartup();
// Releases the module's text values and the menu bars at program end.
void Finalize();

// The run inside the runtime: holds the preferences folder for this copy
// (a second copy reports that one is running and returns 1), then the
// start-up and the event loop; returns the exit code.
int Run();
// The whole process: the runtime, Run, then the release of everything.
int Main(int argc, char** argv);

}  // namespace Startup
