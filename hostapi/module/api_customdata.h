// Custom data types as the module sees them: the class the host reaches a
// type's values through, the scene-file primitives those values are stored
// with, and the tri-state values the attribute editor passes.
#ifndef TOLVANE_API_CUSTOMDATA_H
#define TOLVANE_API_CUSTOMDATA_H

#include "api.h"

// The base of every custom data value. It has no data of its own; the
// host holds values only as opaque handles and reaches them through the
// type's CustomDataTypeClass.
class CustomDataType {};

// Link translation while values are copied; opaque.
class AliasTrans;

// The scene-file stream of one value being saved or loaded, owned by the
// host. Each call answers false on failure; a failed read leaves the target
// untouched.
class HyperFile {
 public:
  Bool WriteInt64(Int64 v);
  Bool WriteVector(const Vector& v);
  Bool ReadInt64(Int64* v);
  Bool ReadVector(Vector* v);

  ha_hyperfile Handle() const {
    return reinterpret_cast<ha_hyperfile>(const_cast<HyperFile*>(this));
  }
  static HyperFile* FromHandle(ha_hyperfile h) { return reinterpret_cast<HyperFile*>(h); }
  HyperFile() = delete;
};

// What a module implements for a custom data type. The host owns the class
// object from its registration on and destroys it at shutdown.
class CustomDataTypeClass {
 public:
  virtual ~CustomDataTypeClass() = default;
  virtual Int32 GetId() = 0;
  virtual CustomDataType* AllocData() = 0;
  virtual void FreeData(CustomDataType* data) = 0;
  virtual Bool CopyData(const CustomDataType* src, CustomDataType* dst, AliasTrans* aliastrans) = 0;
  virtual Int32 Compare(const CustomDataType* d1, const CustomDataType* d2) = 0;
  virtual Bool WriteData(const CustomDataType* d, HyperFile* hf) = 0;
  virtual Bool ReadData(CustomDataType* d, HyperFile* hf, Int32 level) = 0;
  virtual const Char* GetResourceSym() = 0;
  // The default description settings of a parameter of the type.
  virtual void GetDefaultProperties(BaseContainer& data);
};

// Registers a custom data type under dat->GetId(). The host owns `dat` from
// this call on, registered or not. False when `dat` is null, the host offers
// no custom data types or refuses the registration.
Bool RegisterCustomDataTypePlugin(const String& name, Int32 info, CustomDataTypeClass* dat,
                                  Int32 disklevel);

// Description settings.
constexpr Int32 DESC_CUSTOMGUI = HA_DESC_CUSTOMGUI;
constexpr Int32 DESC_ANIMATE = HA_DESC_ANIMATE;

// A value as the attribute editor passes it: none, one value, or one value
// standing for several differing ones (tri). Either borrows a value the host
// owns or owns one made with GeData::Alloc.
template <typename T>
class TriState;

template <>
class TriState<GeData> {
 public:
  TriState() = default;
  // Borrows `value` (may be null: no value).
  TriState(const GeData* value, Bool tri) : value_(const_cast<GeData*>(value)), tri_(tri) {}
  ~TriState() { Clear(); }
  TriState(TriState&& other) noexcept
      : value_(other.value_), owned_(other.owned_), tri_(other.tri_) {
    other.value_ = nullptr;
    other.owned_ = false;
  }
  TriState& operator=(TriState&& other) noexcept;
  TriState(const TriState&) = delete;
  TriState& operator=(const TriState&) = delete;

  // Holds `owned` (made with GeData::Alloc; null for none) as its one value.
  void Take(GeData* owned);
  // Hands the owned value over to the caller; null when there is none.
  GeData* Release();

  Bool IsEmpty() const { return value_ == nullptr; }
  Bool GetTri() const { return tri_; }
  // The value; null when there is none.
  const GeData* GetValue() const { return value_; }

 private:
  void Clear();
  GeData* value_ = nullptr;
  Bool owned_ = false;
  Bool tri_ = false;
};

#endif
