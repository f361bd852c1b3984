#include "render/ZAZSticky.h"
