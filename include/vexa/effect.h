// CEffectEx: a shader effect the library keeps and hands to display-driver surfaces.
//
// An effect holds a source (text or compiled data, held, not copied), an options word, a flags
// word and a list of named parameters. It is offered to one driver surface at a time with
// AttachToSurface; the driver's AttachEffect marks it `attached` when it accepts it, and the
// driver is told of every parameter change (EffectParameterChanged). The drawing operations
// take the effect as ink effect 13 (the parameter is the effect's address): the software
// renderer then blends by the effect's RGBA coefficient, the `extraValue` word (parameter index
// -2), read as 0xAARRGGBB.
//
// The field order is binding: display drivers read the fields directly.
#pragma once

#include <cstdint>

#include <vexa/blit.h>
#include <vexa/export.h>
#include <vexa/surface_implementation.h>

class cSurfaceObject;

// Parameter types.
inline constexpr int kEffectParamInt = 0;
inline constexpr int kEffectParamFloat = 1;
inline constexpr int kEffectParamInt2 = 2;  // an integer too (a driver may read it differently)
inline constexpr int kEffectParamTexture = 3;

// Bit of effectFlags set when a parameter has type 3; the caller owns the low 28 bits.
inline constexpr std::uint32_t kEffectHasTexture = 1u << 28;
inline constexpr std::uint32_t kEffectCallerFlags = (1u << 28) - 1;

// Parameter index that reads and writes `extraValue`.
inline constexpr int kEffectExtraValueIndex = -2;

// One parameter: its type and its value, as wide as a pointer so that it can hold a texture
// handle. Integers and floats live in the low 32 bits.
struct EffectParameter {
  std::int32_t type;
  union Value {
    std::uintptr_t texture;
    std::int32_t integer;
    float real;
  } value;
};

class VEXA_API CEffectEx : public IEffectObject {
 public:
  CEffectEx();
  // A copy of the source's fields with its own parameter array; the copy is not attached to
  // any surface.
  CEffectEx(const CEffectEx& other);
  CEffectEx& operator=(const CEffectEx& other);
  // Frees the parameters and withdraws the effect from its surface.
  virtual ~CEffectEx();

  // The RGBA coefficient (0xAARRGGBB) the software renderer blends with: `extraValue`.
  DWORD GetRGBACoefficient() override;

  // Stores the source text (its length in characters becomes sourceSize), options, flags,
  // parameter count and names (consecutive zero-terminated strings), and a zeroed parameter
  // array of the given types (one byte each; null gives type 0). 1, or 0 without memory.
  int InitEffectText(const char* text, int options, std::uint32_t flags, int parameterCount,
                     const char* parameterNames, const std::uint8_t* parameterTypes);
  // The same with source data of a caller-given size.
  int InitEffectData(const void* data, int size, int options, std::uint32_t flags,
                     int parameterCount, const char* parameterNames,
                     const std::uint8_t* parameterTypes);

  // Offers the effect to the surface's implementation unless it is attached already;
  // 1 when attached afterwards. A refusing surface is forgotten.
  int AttachToSurface(cSurfaceObject* surface);
  // Withdraws the effect from its surface (when attached).
  void DetachFromSurface();

  // Index of the first parameter named `name` ignoring case; -1 when none or without names.
  int FindParameter(const char* name) const;
  int GetParameterType(int index) const;
  int GetParameterInt(int index) const;
  float GetParameterFloat(int index) const;
  void SetParameterInt(int index, int value);
  void SetParameterFloat(int index, float value);
  // Only for texture parameters (type 3); 0 otherwise. The setter answers 1 when it stored.
  std::uintptr_t GetParameterTexture(int index) const;
  int SetParameterTexture(int index, std::uintptr_t value);

  // DriverHook98 on the surface's implementation with this effect, a and b; 0 without one.
  int ApplyToSurface(cSurfaceObject* surface, HookArg a, HookArg b);

  int GetEffectId() const { return effectId; }
  void SetEffectId(int id) { effectId = id; }
  std::uint32_t GetEffectFlags() const { return effectFlags; }
  // Replaces the low 28 bits only.
  void SetEffectFlags(std::uint32_t flags);
  int GetAttached() const { return attached; }
  int GetOptions() const { return options; }

  // ---- fields (order binding) ----
  std::int32_t effectId;
  std::uint32_t effectFlags;
  const void* source;
  std::int32_t attached;
  std::uint16_t parameterCount;
  const char* parameterNames;
  EffectParameter* parameters;
  cSurfaceImplementation* surface;
  std::int32_t options;
  std::int32_t extraValue;
  std::int32_t sourceSize;
};

// A new effect (effectId -1, everything else 0); null without memory.
VEXA_API CEffectEx* NewEffect();
// Destroys and frees an effect made by NewEffect; null is ignored.
VEXA_API void DeleteEffect(CEffectEx* effect);
