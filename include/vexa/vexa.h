// Umbrella header: every public header of libvexa.
#pragma once

#include <vexa/error_surface.h>
#include <vexa/export.h>
#include <vexa/exports.h>
#include <vexa/library.h>
#include <vexa/memory.h>
#include <vexa/pixel_routines.h>
#include <vexa/surface_implementation.h>
#include <vexa/surface_object.h>
#include <vexa/text.h>
#include <vexa/wintypes.h>
