// CEffectEx: the shader-effect object.
#include <vexa/effect.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include <vexa/surface_object.h>

namespace {

int ToInt(float value) {
  // Out-of-range and NaN floats saturate instead of being undefined.
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0f) return 2147483647;
  if (value <= -2147483648.0f) return -2147483647 - 1;
  return static_cast<int>(value);
}

bool IsIntegerType(int type) { return type == kEffectParamInt || type == kEffectParamInt2; }

bool SameNameIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    const unsigned char lx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
    const unsigned char ly = (y >= 'A' && y <= 'Z') ? y + 32 : y;
    if (lx != ly) return false;
    if (!x) return true;
  }
}

EffectParameter* CopyParameters(const EffectParameter* from, int count) {
  if (!from || count <= 0) return nullptr;
  auto* copy = static_cast<EffectParameter*>(std::calloc(count, sizeof(EffectParameter)));
  if (copy) std::memcpy(copy, from, sizeof(EffectParameter) * count);
  return copy;
}

}  // namespace

CEffectEx::CEffectEx()
    : effectId(-1),
      effectFlags(0),
      source(nullptr),
      attached(0),
      parameterCount(0),
      parameterNames(nullptr),
      parameters(nullptr),
      surface(nullptr),
      options(0),
      extraValue(0),
      sourceSize(0) {}

CEffectEx::CEffectEx(const CEffectEx& other) : CEffectEx() { *this = other; }

// Member-wise, except that the copy owns its own parameter array (two effects freeing one
// array would corrupt the heap) and belongs to no surface: a surface accepted the source
// effect, not the copy.
CEffectEx& CEffectEx::operator=(const CEffectEx& other) {
  if (this == &other) return *this;
  EffectParameter* copy = CopyParameters(other.parameters, other.parameterCount);
  DetachFromSurface();
  std::free(parameters);
  effectId = other.effectId;
  effectFlags = other.effectFlags;
  source = other.source;
  parameterCount = copy ? other.parameterCount : 0;
  parameterNames = other.parameterNames;
  parameters = copy;
  attached = 0;
  surface = nullptr;
  options = other.options;
  extraValue = other.extraValue;
  sourceSize = other.sourceSize;
  return *this;
}

CEffectEx::~CEffectEx() {
  std::free(parameters);
  parameters = nullptr;
  if (surface) surface->DetachEffect(this);
  surface = nullptr;
}

DWORD CEffectEx::GetRGBACoefficient() { return static_cast<DWORD>(extraValue); }

namespace {

int Init(CEffectEx& e, const void* data, int size, int options, std::uint32_t flags, int count,
         const char* names, const std::uint8_t* types) {
  if (count < 0) count = 0;
  if (count > 0xFFFF) count = 0xFFFF;
  EffectParameter* made = nullptr;
  if (count > 0) {
    made = static_cast<EffectParameter*>(std::calloc(count, sizeof(EffectParameter)));
    if (!made) return 0;
  }
  std::free(e.parameters);
  e.effectFlags = flags;
  e.source = data;
  e.options = options;
  e.sourceSize = size;
  e.parameterCount = static_cast<std::uint16_t>(count);
  e.parameterNames = names;
  e.parameters = made;
  for (int i = 0; i < count; ++i) {
    made[i].type = types ? types[i] : 0;
    if (made[i].type == kEffectParamTexture) e.effectFlags |= kEffectHasTexture;
  }
  return 1;
}

// Tells the surface the effect is attached to that a parameter changed.
void Changed(CEffectEx& e, int index) {
  if (e.attached && e.surface) e.surface->EffectParameterChanged(&e, index);
}

}  // namespace

int CEffectEx::InitEffectText(const char* text, int newOptions, std::uint32_t flags, int count,
                              const char* names, const std::uint8_t* types) {
  const int length = text ? static_cast<int>(std::strlen(text)) : 0;
  return Init(*this, text, length, newOptions, flags, count, names, types);
}

int CEffectEx::InitEffectData(const void* data, int size, int newOptions, std::uint32_t flags,
                              int count, const char* names, const std::uint8_t* types) {
  return Init(*this, data, size, newOptions, flags, count, names, types);
}

int CEffectEx::AttachToSurface(cSurfaceObject* object) {
  if (!attached && object) {
    surface = object->GetImplementation();
    surface->AttachEffect(this);
    // A surface that refused is forgotten: the destructor must not withdraw the effect from a
    // surface that never took it (and may be gone by then).
    if (!attached) surface = nullptr;
  }
  return attached ? 1 : 0;
}

void CEffectEx::DetachFromSurface() {
  if (attached && surface) surface->DetachEffect(this);
}

int CEffectEx::FindParameter(const char* name) const {
  if (!name || !parameterNames) return -1;
  const char* candidate = parameterNames;
  for (int i = 0; i < parameterCount; ++i) {
    if (SameNameIgnoringCase(candidate, name)) return i;
    candidate += std::strlen(candidate) + 1;
  }
  return -1;
}

int CEffectEx::GetParameterType(int index) const {
  if (index < 0 || index >= parameterCount || !parameters) return 0;
  return parameters[index].type;
}

int CEffectEx::GetParameterInt(int index) const {
  if (index == kEffectExtraValueIndex) return extraValue;
  if (index < 0 || index >= parameterCount || !parameters) return 0;
  const EffectParameter& p = parameters[index];
  if (p.type == kEffectParamFloat) return ToInt(p.value.real);
  return IsIntegerType(p.type) ? p.value.integer : 0;
}

float CEffectEx::GetParameterFloat(int index) const {
  if (index == kEffectExtraValueIndex) return static_cast<float>(extraValue);
  if (index < 0 || index >= parameterCount || !parameters) return 0.0f;
  const EffectParameter& p = parameters[index];
  if (p.type == kEffectParamFloat) return p.value.real;
  return IsIntegerType(p.type) ? static_cast<float>(p.value.integer) : 0.0f;
}

void CEffectEx::SetParameterInt(int index, int value) {
  if (index == kEffectExtraValueIndex) {
    if (extraValue == value) return;
    extraValue = value;
    Changed(*this, index);
    return;
  }
  if (index < 0 || index >= parameterCount || !parameters) return;
  EffectParameter& p = parameters[index];
  if (IsIntegerType(p.type)) {
    if (p.value.integer == value) return;
    p.value.integer = value;
  } else if (p.type == kEffectParamFloat) {
    const float converted = static_cast<float>(value);
    if (p.value.real == converted) return;
    p.value.real = converted;
  } else {
    return;
  }
  Changed(*this, index);
}

void CEffectEx::SetParameterFloat(int index, float value) {
  if (index == kEffectExtraValueIndex) {
    SetParameterInt(index, ToInt(value));
    return;
  }
  if (index < 0 || index >= parameterCount || !parameters) return;
  EffectParameter& p = parameters[index];
  if (IsIntegerType(p.type)) {
    const int converted = ToInt(value);
    if (p.value.integer == converted) return;
    p.value.integer = converted;
  } else if (p.type == kEffectParamFloat) {
    // Compared bit for bit: a NaN stored twice is no change, 0.0 and -0.0 differ.
    if (std::memcmp(&p.value.real, &value, sizeof value) == 0) return;
    p.value.real = value;
  } else {
    return;
  }
  Changed(*this, index);
}

std::uintptr_t CEffectEx::GetParameterTexture(int index) const {
  if (index < 0 || index >= parameterCount || !parameters) return 0;
  const EffectParameter& p = parameters[index];
  return p.type == kEffectParamTexture ? p.value.texture : 0;
}

int CEffectEx::SetParameterTexture(int index, std::uintptr_t value) {
  if (index < 0 || index >= parameterCount || !parameters) return 0;
  EffectParameter& p = parameters[index];
  if (p.type != kEffectParamTexture) return 0;
  if (p.value.texture != value) {
    p.value.texture = value;
    Changed(*this, index);
  }
  return 1;
}

int CEffectEx::ApplyToSurface(cSurfaceObject* object, HookArg a, HookArg b) {
  if (!object) return 0;
  return object->GetImplementation()->DriverHook98(this, a, b);
}

void CEffectEx::SetEffectFlags(std::uint32_t flags) {
  effectFlags = (effectFlags & ~kEffectCallerFlags) | (flags & kEffectCallerFlags);
}

CEffectEx* NewEffect() { return new (std::nothrow) CEffectEx(); }

void DeleteEffect(CEffectEx* effect) { delete effect; }
