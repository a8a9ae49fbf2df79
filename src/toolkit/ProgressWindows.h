// The reporter that lets the analysis object drive the two progress windows
// (bar 0 "Progress Report", bar 1 "Detailed Progress Report"), found through
// the window registry; a missing window is skipped.
#pragma once

class ProgressReporter;

// Showing a bar opens its window; closing hides it. While a bar moves, the
// GUI repaints a few times a second; user input waits until the computation
// is over, since the analysis object is busy and not reentrant. The object
// lives for the run.
ProgressReporter* windowProgressReporter();
