// A frame header: the upper side of the include the layer check must refuse.
#pragma once
