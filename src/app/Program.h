#pragma once

// Starts the program: wires the real platform services, runs the main window's load
// handler and the event loop. Returns the process's exit status.
int runGreifholm(int argc, char** argv);
