// The Dots example: a parameter data type whose value is a list of points,
// and the interface element that shows such a value as a white field with
// black dots and adds a dot wherever the user clicks. Release-16 builds only.
#ifndef TOLVANE_DOTS_H
#define TOLVANE_DOTS_H

#include "api.h"
#include "api_customdata.h"
#include "api_gui.h"

// ID_CUSTOMDATATYPE_DOTS and ID_CUSTOMGUI_DOTS, the plug-in IDs of the data
// type and the element, are in hostapi/abi/ha_ids.h (through api.h).
constexpr Int32 IDS_CUSTOMGUI_DOTS = 10002;        // element name
constexpr Int32 IDS_CUSTOMDATATYPE_DOTS = 10003;   // data type name

// The Dots value: one growable array of points with a signed 64-bit count.
// The data type hands these to the host, and the interface element keeps
// what it shows in a member of this same type. Memory comes from the host
// allocator; a new array has no block.
class PointArray : public CustomDataType {
 public:
  PointArray() = default;
  ~PointArray() { Flush(); }
  PointArray(const PointArray&) = delete;
  PointArray& operator=(const PointArray&) = delete;

  Int64 GetCount() const { return count_; }
  Int64 GetCapacity() const { return capacity_; }
  const Vector& operator[](Int64 i) const { return block_[i]; }

  // Adds a point at the end, growing the block when it is full. False (and
  // nothing added) when memory is short.
  Bool Append(const Vector& point);
  // Takes the last point off again (nothing when there is none).
  void RemoveLast();
  // Exchanges blocks, counts and capacities with `other`.
  void Swap(PointArray& other);
  // Releases the block: count and capacity 0.
  void Flush();
  // Makes this an exact copy of `src` in a block of exactly its count.
  // False when that block cannot be had; this array is then empty.
  Bool CopyFrom(const PointArray& src);

 private:
  Vector* block_ = nullptr;
  Int64 count_ = 0;
  Int64 capacity_ = 0;
};

// The Dots data type as the host reaches it.
class DotsCustomDataTypeClass : public CustomDataTypeClass {
 public:
  Int32 GetId() override;
  CustomDataType* AllocData() override;
  void FreeData(CustomDataType* data) override;
  Bool CopyData(const CustomDataType* src, CustomDataType* dst, AliasTrans* aliastrans) override;
  Int32 Compare(const CustomDataType* d1, const CustomDataType* d2) override;
  Bool WriteData(const CustomDataType* d, HyperFile* hf) override;
  Bool ReadData(CustomDataType* d, HyperFile* hf, Int32 level) override;
  const Char* GetResourceSym() override;
  void GetDefaultProperties(BaseContainer& data) override;
};

// The drawing field of the element: paints the points it is pointed at and
// adds one for every mouse click.
class DotsUserArea : public GeUserArea {
 public:
  void SetPoints(PointArray* points) { points_ = points; }
  const PointArray* Points() const { return points_; }

  Bool Init() override;
  Bool InitValues() override;
  Bool GetMinSize(Int32& w, Int32& h) override;
  void DrawMsg(Int32 x1, Int32 y1, Int32 x2, Int32 y2, const BaseContainer& msg) override;
  Bool InputEvent(const BaseContainer& msg) override;

 private:
  PointArray* points_ = nullptr;
};

// One instance of the element: its own copy of the points and the field.
class iExampleCustomGUIDots : public iCustomGui {
 public:
  iExampleCustomGUIDots(const BaseContainer& settings, CUSTOMGUIPLUGIN* plugin);

  Bool CreateLayout() override;
  Bool InitValues() override;
  Bool Command(Int32 id, const BaseContainer& msg) override;
  Bool SetData(const TriState<GeData>& tristate) override;
  TriState<GeData> GetData() override;

 private:
  PointArray points_;
  DotsUserArea area_;
};

// The element's registration object.
class SDKExampleCustomGUIDots : public CustomGuiData {
 public:
  Int32 GetId() override;
  CDialog* Alloc(const BaseContainer& settings) override;
  void Free(CDialog* dlg, void* userdata) override;
  const Char* GetResourceSym() override;
  CustomProperty* GetProperties() override;
  Int32 GetResourceDataType(Int32*& table) override;
};

// Registers the data type, installs the element's library and registers the
// element, in that order; false at the first step that fails.
Bool RegisterDotsType();

#endif
