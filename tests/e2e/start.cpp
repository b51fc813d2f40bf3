#include "kt.h"
