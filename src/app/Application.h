#pragma once

// Starts the program: application title "VORN", the windows, the event loop.
int runVorn(int argc, char** argv);

class QString;
// Opens the file named on the command line: experimental data ("*.nT",
// "*.pT") as "Load Data" does, any other file in the file viewer.
void openFromCommandLine(const QString& path);
