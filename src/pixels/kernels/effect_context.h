// The ink-effect routine sets of the software renderer and the constants they share.
//
// Every effect code 1-12 (7 has none; 0 is the plain copy) has, per pixel format, one routine
// set: a setup routine that derives the effect's constants from the parameter into a small
// context block, a single-pixel operation, and row operations: opaque (every pixel), keyed
// (source pixels equal to the source's transparent value are skipped), alpha (the source's
// alpha plane weighs the result against the destination) and constant-colour (one source
// pixel against a destination row, for fills and for the transparent runs of run-length
// images). A second array of sets is used when the destination's MMX flag (bit 0 of its
// flags) is set; it differs from the plain one only in effect 1, whose MMX form blends all
// four bytes of a 32-bit pixel.
//
// Row operations come in two parts: an optional vector part that handles a prefix of the row
// (a whole number of vector steps) and returns how many pixels it did, and the scalar
// reference that finishes the row. RunOpaqueRow() and its siblings join the two; the scalar
// part alone defines every result.
//
// Declarations and plain records only: the vector files include this header, and nothing with
// external linkage may be compiled with their instruction-set flags.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/pixel_routines.h>
#include <vexa/wintypes.h>

#include "base/simd_level.h"

struct PaletteObject;

namespace vexa {

// Effect codes as the kernels index them.
inline constexpr int kEffectCodeCount = 13;  // 0..12; 13 is converted before any routine runs

struct EffectContext {
  std::uint32_t code = 0;
  std::uint32_t destinationShare = 0;  // c, 0..128: the destination's share of a blend
  std::uint32_t sourceShare = 128;     // 128 - c
  std::uint32_t substitute = 0;        // effect 6: K in the working form
  std::uint32_t substituteWhen = 0;    // effect 6: the destination pixel that K replaces
  std::uint32_t sourceKey = 0;         // the source's transparent pixel value
  std::uint32_t destinationKey = 0;    // effect 12: the key as a destination pixel
  std::int32_t depth = 0;              // the destination's depth (15 and 16 share routines)
  // 8 bits: the destination palette's entries, its inverse table (null: search every colour)
  // and the nearest-colour search that fills the table.
  const PALETTEENTRY* colors = nullptr;
  PaletteObject* palette = nullptr;
  std::uint8_t* inverse = nullptr;
  int (*search)(const PALETTEENTRY* entries, int count, COLORREF color) = nullptr;
};

using EffectSetupFn = void (*)(EffectContext& context, const PixelDescriptor* destination,
                               const PixelDescriptor* source, std::uintptr_t parameter);
// Source and destination pixel values in, the destination's new pixel value out.
using EffectPixelFn = std::uint32_t (*)(const EffectContext& context, std::uint32_t source,
                                        std::uint32_t destination);
// Row parts answer how many pixels they processed (the scalar parts: all of them).
using OpaqueRowFn = int (*)(const EffectContext& context, std::uint8_t* destination,
                            const std::uint8_t* source, int width);
using AlphaRowFn = int (*)(const EffectContext& context, std::uint8_t* destination,
                           const std::uint8_t* source, const std::uint8_t* alpha, int width);
using ConstantRowFn = int (*)(const EffectContext& context, std::uint8_t* destination,
                              std::uint32_t source, int width);
// Every row of a keyed rectangle in one call, the pixels the vectors leave at each row's end
// through `rest` (the scalar row part).
using KeyedRowsFn = void (*)(const EffectContext& context, std::uint8_t* destination,
                             std::ptrdiff_t destinationPitch, const std::uint8_t* source,
                             std::ptrdiff_t sourcePitch, int width, int height, OpaqueRowFn rest);

struct EffectRoutineSet {
  EffectSetupFn setup = nullptr;  // null: the code has no routines (7)
  EffectPixelFn pixel = nullptr;
  OpaqueRowFn opaque = nullptr;
  OpaqueRowFn opaqueVector = nullptr;
  OpaqueRowFn keyed = nullptr;
  KeyedRowsFn keyedRows = nullptr;  // the vector levels' whole-rectangle form of `keyed`
  AlphaRowFn alpha = nullptr;
  AlphaRowFn alphaVector = nullptr;
  ConstantRowFn constant = nullptr;
  ConstantRowFn constantVector = nullptr;
};

// Every routine set of one instruction level: [MMX form][format index][effect code].
struct KernelSet {
  EffectRoutineSet sets[2][5][kEffectCodeCount];
  SimdLevel level = SimdLevel::Scalar;  // the level the sets were built for
};

// The sets at `level` (a level the processor lacks falls back to the best one below it),
// built once per level.
const KernelSet& KernelsAt(SimdLevel level);
// The sets at the library's active level.
const KernelSet& ActiveKernels();

// The four arrays of one format, indexed by effect code: the plain form or the MMX form.
const EffectRoutineSet* EffectRoutines(int formatIndex, bool mmx);

// The 8-bit result of a working colour: the inverse-table entry, found by the nearest-colour
// search (and stored) when it is still 0. For the vector rows, which look up whole vectors
// and call this only for lanes whose entry is 0.
std::uint32_t InverseIndexOf(const EffectContext& context, std::uint32_t color);

// The vector parts of each level, installed over the scalar sets.
void InstallVectorRowsSse2(KernelSet& kernels);
void InstallVectorRowsAvx2(KernelSet& kernels);

}  // namespace vexa
