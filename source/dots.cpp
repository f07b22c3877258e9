#include "dots.h"

#include <cstdint>
#include <cstring>

namespace {

// Registration.
constexpr Int32 kDotsTypeInfo = 133;  // custom data type flags 1, 4 and 128
constexpr Int32 kDotsDiskLevel = 1;
constexpr Int32 kDotsGuiInfo = 0;
constexpr Int32 kDotsLibraryVersion = 1000;

// Layout of an element instance.
constexpr Int32 kGroupId = 1000;
constexpr Int32 kGroupFlags = 59;
constexpr Int32 kFieldId = 2000;
constexpr Int32 kFieldFlags = 8;
constexpr Int32 kFieldAttachFlags = 4;
constexpr Int32 kFieldWidth = 400;
constexpr Int32 kFieldHeight = 300;
constexpr Int32 kDotRadius = 5;

constexpr Int64 kFirstCapacity = 8;

// The data types the element edits.
Int32 g_dotsTypes[] = {ID_CUSTOMDATATYPE_DOTS};

// The element's library record: it must live as long as the module.
CustomGuiLib g_dotsLibrary;

PointArray* Points(CustomDataType* d) { return static_cast<PointArray*>(d); }
const PointArray* Points(const CustomDataType* d) { return static_cast<const PointArray*>(d); }

// A coordinate as a pixel: toward zero, saturated to the 32-bit range
// (NaN counts as 0).
Int32 ToPixel(Float v) {
  if (!(v == v)) return 0;
  if (v <= static_cast<Float>(INT32_MIN)) return INT32_MIN;
  if (v >= static_cast<Float>(INT32_MAX)) return INT32_MAX;
  return static_cast<Int32>(v);
}

// a + b, saturated to the 32-bit range.
Int32 Offset(Int32 a, Int32 b) {
  const Int64 sum = static_cast<Int64>(a) + b;
  if (sum < INT32_MIN) return INT32_MIN;
  if (sum > INT32_MAX) return INT32_MAX;
  return static_cast<Int32>(sum);
}

}  // namespace

// ---------------------------------------------------------------------------
// The point array

Bool PointArray::Append(const Vector& point) {
  if (count_ == capacity_) {
    constexpr Int64 kMaxCapacity = static_cast<Int64>(SIZE_MAX / sizeof(Vector) / 2);
    const Int64 grown = capacity_ == 0 ? kFirstCapacity : capacity_ * 2;
    if (grown > kMaxCapacity) return false;
    Vector* fresh = static_cast<Vector*>(NewMem(static_cast<std::size_t>(grown) * sizeof(Vector)));
    if (fresh == nullptr) return false;
    if (count_ > 0) std::memcpy(fresh, block_, static_cast<std::size_t>(count_) * sizeof(Vector));
    MemFree(block_);
    block_ = fresh;
    capacity_ = grown;
  }
  block_[count_++] = point;
  return true;
}

void PointArray::RemoveLast() {
  if (count_ > 0) --count_;
}

void PointArray::Swap(PointArray& other) {
  Vector* block = block_;
  const Int64 count = count_;
  const Int64 capacity = capacity_;
  block_ = other.block_;
  count_ = other.count_;
  capacity_ = other.capacity_;
  other.block_ = block;
  other.count_ = count;
  other.capacity_ = capacity;
}

void PointArray::Flush() {
  MemFree(block_);
  block_ = nullptr;
  count_ = 0;
  capacity_ = 0;
}

Bool PointArray::CopyFrom(const PointArray& src) {
  if (&src == this) return true;
  Flush();
  if (src.count_ == 0) return true;
  Vector* fresh = static_cast<Vector*>(NewMem(static_cast<std::size_t>(src.count_) * sizeof(Vector)));
  if (fresh == nullptr) return false;
  std::memcpy(fresh, src.block_, static_cast<std::size_t>(src.count_) * sizeof(Vector));
  block_ = fresh;
  count_ = src.count_;
  capacity_ = src.count_;
  return true;
}

// ---------------------------------------------------------------------------
// The data type

Int32 DotsCustomDataTypeClass::GetId() { return ID_CUSTOMDATATYPE_DOTS; }

CustomDataType* DotsCustomDataTypeClass::AllocData() { return NewObj(PointArray); }

void DotsCustomDataTypeClass::FreeData(CustomDataType* data) {
  PointArray* points = Points(data);
  DeleteObj(points);
}

Bool DotsCustomDataTypeClass::CopyData(const CustomDataType* src, CustomDataType* dst,
                                       AliasTrans* /*aliastrans*/) {
  if (src == nullptr || dst == nullptr) return false;
  // A copy that could not get its block is no copy: say so.
  return Points(dst)->CopyFrom(*Points(src));
}

Int32 DotsCustomDataTypeClass::Compare(const CustomDataType* d1, const CustomDataType* d2) {
  if (d1 == nullptr || d2 == nullptr) return 0;
  const Int64 n1 = Points(d1)->GetCount();
  const Int64 n2 = Points(d2)->GetCount();
  if (n1 == n2) return 0;
  return n1 < n2 ? -1 : 1;
}

Bool DotsCustomDataTypeClass::WriteData(const CustomDataType* d, HyperFile* hf) {
  const PointArray* points = Points(d);
  hf->WriteInt64(points->GetCount());
  for (Int64 i = 0; i < points->GetCount(); ++i) hf->WriteVector((*points)[i]);
  return true;
}

// Every failure answers false with the value left empty, so that the host
// refuses the scene rather than load fewer points than were saved: a level
// below 1 (no value of this type is ever stored so), a count that is missing
// or negative, a point that cannot be read (the data ends early or holds
// something else) and a point that cannot be kept (memory short). Reading
// stops at the first failure, so a damaged count cannot keep the loader
// going. Points left over after the count are the host's to find: it knows
// where the value's bytes end.
Bool DotsCustomDataTypeClass::ReadData(CustomDataType* d, HyperFile* hf, Int32 level) {
  PointArray* points = Points(d);
  if (points == nullptr || hf == nullptr || level < kDotsDiskLevel) return false;
  Int64 count = 0;
  if (!hf->ReadInt64(&count) || count < 0) return false;
  for (Int64 i = 0; i < count; ++i) {
    Vector point(0.0, 0.0, 0.0);
    if (!hf->ReadVector(&point) || !points->Append(point)) {
      points->Flush();
      return false;
    }
  }
  return true;
}

const Char* DotsCustomDataTypeClass::GetResourceSym() { return "DOTS"; }

void DotsCustomDataTypeClass::GetDefaultProperties(BaseContainer& data) {
  data.SetInt32(DESC_CUSTOMGUI, ID_CUSTOMGUI_DOTS);
  data.SetInt32(DESC_ANIMATE, 1);
}

// ---------------------------------------------------------------------------
// The drawing field

Bool DotsUserArea::Init() { return true; }

Bool DotsUserArea::InitValues() { return true; }

Bool DotsUserArea::GetMinSize(Int32& w, Int32& h) {
  w = kFieldWidth;
  h = kFieldHeight;
  return true;
}

void DotsUserArea::DrawMsg(Int32 /*x1*/, Int32 /*y1*/, Int32 /*x2*/, Int32 /*y2*/,
                           const BaseContainer& /*msg*/) {
  OffScreenOn();
  DrawSetPen(Vector(1.0, 1.0, 1.0));
  DrawRectangle(0, 0, kFieldWidth, kFieldHeight);
  if (points_ == nullptr) return;
  DrawSetPen(Vector(0.0, 0.0, 0.0));
  for (Int64 i = 0; i < points_->GetCount(); ++i) {
    const Int32 x = ToPixel((*points_)[i].x);
    const Int32 y = ToPixel((*points_)[i].y);
    DrawRectangle(Offset(x, -kDotRadius), Offset(y, -kDotRadius), Offset(x, kDotRadius),
                  Offset(y, kDotRadius));
  }
}

Bool DotsUserArea::InputEvent(const BaseContainer& msg) {
  if (msg.GetInt32(BFM_INPUT_DEVICE) != BFM_INPUT_MOUSE) return false;
  Int32 x = msg.GetInt32(BFM_INPUT_X);
  Int32 y = msg.GetInt32(BFM_INPUT_Y);
  Global2Local(&x, &y);
  // A click counts only once the parameter holds its point. A point that
  // cannot be added, or a value that does not reach the parameter, is taken
  // back: the click is not used, and the points are as they were.
  if (points_ == nullptr || !points_->Append(Vector(x, y, 0.0))) return false;
  Bool stored = false;
  BaseContainer* action = BaseContainer::Alloc();
  if (action != nullptr) {
    action->SetId(BFM_ACTION);
    action->SetInt32(BFM_ACTION_ID, GetId());
    stored = SendParentMessage(*action);
    BaseContainer::Free(action);
  }
  if (!stored) {
    points_->RemoveLast();
    Redraw();
  }
  return stored;
}

// ---------------------------------------------------------------------------
// An element instance

iExampleCustomGUIDots::iExampleCustomGUIDots(const BaseContainer& settings,
                                             CUSTOMGUIPLUGIN* plugin)
    : iCustomGui(settings, plugin) {}

Bool iExampleCustomGUIDots::CreateLayout() {
  GroupBegin(kGroupId, kGroupFlags, 2, 1, String(), 0);
  GroupSpace(0, 0);
  AddUserArea(kFieldId, kFieldFlags, kFieldWidth, kFieldHeight);
  AttachUserArea(area_, kFieldId, kFieldAttachFlags);
  area_.SetPoints(&points_);
  GroupEnd();
  return iCustomGui::CreateLayout();
}

Bool iExampleCustomGUIDots::InitValues() { return true; }

// Answers whether the parent took the value: false when the report or the
// value in it could not be made, or the parent did not store it.
Bool iExampleCustomGUIDots::Command(Int32 id, const BaseContainer& msg) {
  if (id != kFieldId) return iCustomGui::Command(id, msg);
  Bool taken = false;
  BaseContainer* report = msg.GetClone();
  if (report != nullptr) {
    report->SetInt32(BFM_ACTION_ID, GetId());
    TriState<GeData> value = GetData();
    const GeData* v = value.GetValue();
    if (v != nullptr && report->SetData(BFM_ACTION_VALUE, *v)) taken = SendParentMessage(*report);
    BaseContainer::Free(report);
  }
  area_.Redraw();
  return taken;
}

Bool iExampleCustomGUIDots::SetData(const TriState<GeData>& tristate) {
  const GeData* value = tristate.GetValue();
  const CustomDataType* dots =
      value != nullptr ? value->GetCustomDataType(ID_CUSTOMDATATYPE_DOTS) : nullptr;
  if (dots == nullptr) return true;
  // The copy is made beside the points shown, which it replaces only when
  // whole: memory short, the element keeps what it showed and answers false.
  PointArray fresh;
  if (!fresh.CopyFrom(*Points(dots))) return false;
  points_.Swap(fresh);
  area_.Redraw();
  return true;
}

TriState<GeData> iExampleCustomGUIDots::GetData() {
  TriState<GeData> value;
  value.Take(GeData::Alloc(ID_CUSTOMDATATYPE_DOTS, points_));
  return value;
}

// ---------------------------------------------------------------------------
// The element's registration object

Int32 SDKExampleCustomGUIDots::GetId() { return ID_CUSTOMGUI_DOTS; }

CDialog* SDKExampleCustomGUIDots::Alloc(const BaseContainer& settings) {
  iExampleCustomGUIDots* gui =
      NewObjWith(iExampleCustomGUIDots, settings, FindPlugin(ID_CUSTOMGUI_DOTS, PLUGINTYPE_CUSTOMGUI));
  if (gui == nullptr) return nullptr;
  CDialog* dlg = gui->Get();
  if (dlg == nullptr) DeleteObj(gui);  // an instance without a dialog is of no use
  return dlg;
}

void SDKExampleCustomGUIDots::Free(CDialog* dlg, void* userdata) {
  if (dlg == nullptr || userdata == nullptr) return;
  iExampleCustomGUIDots* gui =
      static_cast<iExampleCustomGUIDots*>(static_cast<iCustomGui*>(userdata));
  DeleteObj(gui);
}

const Char* SDKExampleCustomGUIDots::GetResourceSym() { return "CUSTOMGUIDOTS"; }

CustomProperty* SDKExampleCustomGUIDots::GetProperties() { return nullptr; }

Int32 SDKExampleCustomGUIDots::GetResourceDataType(Int32*& table) {
  table = g_dotsTypes;
  return 1;
}

// ---------------------------------------------------------------------------

Bool RegisterDotsType() {
  const String typeName = GeLoadString(IDS_CUSTOMDATATYPE_DOTS);
  if (!RegisterCustomDataTypePlugin(typeName, kDotsTypeInfo, NewObj(DotsCustomDataTypeClass),
                                    kDotsDiskLevel))
    return false;

  std::memset(&g_dotsLibrary, 0, sizeof g_dotsLibrary);
  FillBaseCustomGui(g_dotsLibrary);
  if (!InstallLibrary(ID_CUSTOMGUI_DOTS, &g_dotsLibrary, kDotsLibraryVersion,
                      static_cast<Int32>(sizeof g_dotsLibrary)))
    return false;

  const String guiName = GeLoadString(IDS_CUSTOMGUI_DOTS);
  return RegisterCustomGuiPlugin(guiName, kDotsGuiInfo, NewObj(SDKExampleCustomGUIDots));
}
