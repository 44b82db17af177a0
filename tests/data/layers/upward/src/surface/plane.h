// A surface header reaching up into the frame: the layer check must refuse it.
#pragma once

#include "frame/object.h"
