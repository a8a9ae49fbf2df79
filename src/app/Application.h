#pragma once

// Starts the program: application title "VORN", the windows, the event loop.
int runVorn(int argc, char** argv);
