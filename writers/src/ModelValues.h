// The readers of the model's values are public (writers/ModelValues.h):
// compare/ reads models through them too.
#pragma once

#include <writers/ModelValues.h>
