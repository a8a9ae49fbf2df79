// The "Help" buttons and menu items of every window: they show the help
// viewer, optionally at the manual's page for that window.
#pragma once

#include <QString>

// Shows the help viewer where it was; with `page` ("dhes.html" or
// "dhes.html#controls"), first turns to that page of the manual.
void showHelp(const QString& page = QString());
