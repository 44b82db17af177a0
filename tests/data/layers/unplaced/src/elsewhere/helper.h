// A header in a folder that no layer claims: the layer check must refuse it.
#pragma once
