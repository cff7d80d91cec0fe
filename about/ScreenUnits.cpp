// Out-of-line anchor for the shared widget helpers.
#include "about/ScreenUnits.h"
