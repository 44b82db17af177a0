// Umbrella header: every public header of libvexa.
#pragma once

#include <vexa/alpha_buffer_surface.h>
#include <vexa/buffer_surface.h>
#include <vexa/collision_mask.h>
#include <vexa/dib_section_surface.h>
#include <vexa/dib_surface.h>
#include <vexa/blit.h>
#include <vexa/compression.h>
#include <vexa/error_surface.h>
#include <vexa/export.h>
#include <vexa/fill_style.h>
#include <vexa/image_bank.h>
#include <vexa/image_surface.h>
#include <vexa/exports.h>
#include <vexa/icon.h>
#include <vexa/library.h>
#include <vexa/memory.h>
#include <vexa/palette.h>
#include <vexa/pixel_routines.h>
#include <vexa/rotation.h>
#include <vexa/stream.h>
#include <vexa/surface_implementation.h>
#include <vexa/surface_object.h>
#include <vexa/text.h>
#include <vexa/wintypes.h>
