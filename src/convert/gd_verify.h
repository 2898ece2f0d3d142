#pragma once

// The GD file's code lives in src/gd; the dialog's tests still include it
// from here.
#include "gd/gd_verify.h"
