// Umbrella header: every public header of libvexa.
#pragma once

#include <vexa/export.h>
#include <vexa/exports.h>
#include <vexa/library.h>
#include <vexa/memory.h>
#include <vexa/text.h>
#include <vexa/wintypes.h>
