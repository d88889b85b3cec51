// A settings source that reaches up into removal: the layer check names it.
#include "removal/catalogue.h"
#include "settings/shared.h"
