#include "render/DocumentSearch.h"
