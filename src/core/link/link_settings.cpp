#include "link/link_settings.h"
