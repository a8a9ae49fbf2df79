// Handlers of the later stages, connected to their controls but not yet
// built. Each definition moves to the file of its stage when that is done.
#include "app/Hall.h"

