// The host's function table: the C functions the module calls. Every handle
// that comes in is checked; a bad one is reported as misuse and the call
// fails. No exception leaves these functions.
#include <cstring>
#include <string>

#include "customdata.h"
#include "files.h"
#include "gui.h"
#include "host.h"
#include "scenefile.h"
#include "resources.h"

namespace host {
namespace {

Object* CheckObject(ha_object h, const char* call) {
  Object* op = Object::FromHandle(h);
  if (op == nullptr && h != nullptr) ReportMisuse(std::string(call) + ": unknown object handle");
  return op;
}

Document* CheckDocument(ha_document h, const char* call) {
  Document* doc = Document::FromHandle(h);
  if (doc == nullptr && h != nullptr) ReportMisuse(std::string(call) + ": unknown document handle");
  return doc;
}

Host& Current() { return *Host::Current(); }

// --- memory ----------------------------------------------------------------

void* MemAlloc(size_t size, const char* file, int32_t line) {
  return Guarded<void*>(nullptr, [&]() -> void* { return Current().Allocate(size, file, line); });
}
void MemFree(void* block) {
  GuardedVoid([&] { Current().Release(block); });
}
const char* TextGet(ha_text text) {
  if (text == nullptr) return "";
  if (!Texts().Has(text)) {
    ReportMisuse("text_get: unknown text");
    return "";
  }
  return reinterpret_cast<Text*>(text)->value.c_str();
}
void TextFree(ha_text text) {
  if (text == nullptr) return;
  if (!Texts().Has(text)) {
    ReportMisuse("text_free: unknown text");
    return;
  }
  Text* t = reinterpret_cast<Text*>(text);
  Texts().Remove(t);
  delete t;
}

const ha_memory_suite kMemory = {sizeof(ha_memory_suite), MemAlloc, MemFree, TextGet, TextFree};

// --- resources, console, registration -------------------------------------

void Print(const char* line) {
  GuardedVoid([&] { Current().Console().push_back(line != nullptr ? line : ""); });
}
int32_t OutString(const char* text, int32_t flags) {
  return Guarded<int32_t>(0, [&] {
    Current().MessageBoxes().push_back(text != nullptr ? text : "");
    Current().MessageBoxFlags().push_back(flags);
    return 1;
  });
}
int32_t RegisterObject(const ha_object_plugin_info* info) {
  return Guarded<int32_t>(0, [&]() -> int32_t {
    if (info == nullptr || info->cls == nullptr || info->size < sizeof(ha_object_plugin_info)) {
      ReportMisuse("register_object_plugin: incomplete registration");
      return 0;
    }
    const ha_object_plugin_class& cls = *info->cls;
    if (cls.alloc == nullptr || cls.free == nullptr) return 0;
    if (Current().refuseRegistration || FindObjectPlugin(info->id) != nullptr) return 0;
    ObjectPlugin plugin;
    plugin.id = info->id;
    plugin.name = info->name != nullptr ? info->name : "";
    plugin.info = info->info;
    plugin.cls = cls;
    plugin.description = info->description != nullptr ? info->description : "";
    plugin.diskLevel = info->disk_level;
    if (const Bitmap* icon = BitmapOf(info->icon)) {
      plugin.hasIcon = true;
      plugin.iconWidth = icon->width;
      plugin.iconHeight = icon->height;
      plugin.iconPixelRatio = icon->pixelRatio;
    }
    ObjectPlugins().push_back(plugin);
    return 1;
  });
}
int32_t BaseEnabling(ha_object, const ha_descid*, ha_data, int32_t, ha_container) { return 1; }

const ha_resource_suite kResource = {sizeof(ha_resource_suite),
                                     ResLoad,
                                     ResFree,
                                     ResLoadString,
                                     ResLoadBitmap,
                                     ResFreeBitmap,
                                     Print,
                                     OutString,
                                     RegisterObject,
                                     BaseEnabling};

ha_crash_handler GetCrash() { return Current().CrashHandler(); }
void SetCrash(ha_crash_handler h) { Current().SetCrashHandler(h); }
const ha_crash_suite kCrash = {sizeof(ha_crash_suite), GetCrash, SetCrash};

// --- containers -------------------------------------------------------------

ha_container BcAlloc() {
  return Guarded<ha_container>(nullptr, []() -> ha_container {
    if (Failures().NextAllocationFails()) return nullptr;
    return reinterpret_cast<ha_container>(NewModuleContainer(nullptr));
  });
}
void BcFree(ha_container bc) {
  if (bc == nullptr) return;
  if (!FreeModuleContainer(reinterpret_cast<Container*>(bc)))
    ReportMisuse("container free: not a container the module owns");
}
int32_t BcGetType(ha_container h, int32_t id) {
  Container* bc = CheckContainer(h, "get_type");
  const Value* v = bc != nullptr ? bc->Find(id) : nullptr;
  return v != nullptr ? v->type : HA_TYPE_NONE;
}
const Value* Entry(ha_container h, int32_t id, int32_t type, const char* call) {
  Container* bc = CheckContainer(h, call);
  const Value* v = bc != nullptr ? bc->Find(id) : nullptr;
  return v != nullptr && v->type == type ? v : nullptr;
}
int32_t BcGetInt32(ha_container h, int32_t id, int32_t preset) {
  const Value* v = Entry(h, id, HA_TYPE_INT32, "get_int32");
  return v != nullptr ? v->i : preset;
}
double BcGetFloat(ha_container h, int32_t id, double preset) {
  const Value* v = Entry(h, id, HA_TYPE_FLOAT, "get_float");
  return v != nullptr ? v->f : preset;
}
void BcGetVector(ha_container h, int32_t id, const ha_vector* preset, ha_vector* out) {
  if (out == nullptr) return;
  const Value* v = Entry(h, id, HA_TYPE_VECTOR, "get_vector");
  *out = v != nullptr ? v->v : (preset != nullptr ? *preset : ha_vector{0.0, 0.0, 0.0});
}
ha_text BcGetString(ha_container h, int32_t id) {
  return Guarded<ha_text>(nullptr, [&] {
    const Value* v = Entry(h, id, HA_TYPE_STRING, "get_string");
    return MakeText(v != nullptr ? v->s : std::string());
  });
}
ha_object BcGetLink(ha_container h, int32_t id, ha_document doc, int32_t instanceOf) {
  const Value* v = Entry(h, id, HA_TYPE_LINK, "get_link");
  if (v == nullptr || v->link == 0 || doc == nullptr) return nullptr;
  Object* target = Object::FindSerial(v->link);
  if (target == nullptr || target->Doc() != Document::FromHandle(doc)) return nullptr;
  if (instanceOf != Obase && target->Type() != instanceOf) return nullptr;
  return target->Handle();
}
void BcSet(ha_container h, int32_t id, Value value, const char* call) {
  GuardedVoid([&] {
    if (Container* bc = CheckContainer(h, call)) bc->Set(id, std::move(value));
  });
}
void BcSetInt32(ha_container h, int32_t id, int32_t v) { BcSet(h, id, Value::Int(v), "set_int32"); }
void BcSetFloat(ha_container h, int32_t id, double v) { BcSet(h, id, Value::Real(v), "set_float"); }
void BcSetVector(ha_container h, int32_t id, const ha_vector* v) {
  if (v != nullptr) BcSet(h, id, Value::Vec(*v), "set_vector");
}
void BcSetString(ha_container h, int32_t id, const char* v) {
  BcSet(h, id, Value::Str(v != nullptr ? v : ""), "set_string");
}
void BcSetLink(ha_container h, int32_t id, ha_object target) {
  Object* op = CheckObject(target, "set_link");
  BcSet(h, id, Value::Link(op != nullptr ? op->Serial() : 0), "set_link");
}

const ha_container_suite kContainer = {
    sizeof(ha_container_suite), BcAlloc,     BcFree,      BcGetType,   BcGetInt32,
    BcGetFloat,                 BcGetVector, BcGetString, BcGetLink,   BcSetInt32,
    BcSetFloat,                 BcSetVector, BcSetString, BcSetLink,   BcGetId,
    BcSetId,                    BcCopy,      BcGetCustom, BcSetCustom, BcGetData,
    BcSetData};

// --- single values ----------------------------------------------------------

HandleSet<Value>& Datas() {
  static HandleSet<Value> set;
  return set;
}
ha_data DataAlloc() {
  return Guarded<ha_data>(nullptr, []() -> ha_data {
    if (Failures().NextAllocationFails()) return nullptr;
    Value* v = new Value();
    Datas().Add(v);
    return reinterpret_cast<ha_data>(v);
  });
}
void DataFree(ha_data d) {
  if (d == nullptr) return;
  if (!Datas().Has(d)) {
    ReportMisuse("data free: unknown value");
    return;
  }
  Value* v = reinterpret_cast<Value*>(d);
  Datas().Remove(v);
  delete v;
}
const Value* DataOf(ha_data d) { return Datas().Has(d) ? reinterpret_cast<const Value*>(d) : nullptr; }
int32_t DataType(ha_data d) {
  const Value* v = DataOf(d);
  return v != nullptr ? v->type : HA_TYPE_NONE;
}
int32_t DataInt32(ha_data d) {
  const Value* v = DataOf(d);
  return v != nullptr && v->type == HA_TYPE_INT32 ? v->i : 0;
}
double DataFloat(ha_data d) {
  const Value* v = DataOf(d);
  return v != nullptr && v->type == HA_TYPE_FLOAT ? v->f : 0.0;
}
const ha_data_suite kData = {sizeof(ha_data_suite), DataAlloc,      DataFree,
                             DataType,              DataInt32,      DataFloat,
                             DataGetCustom,         DataAllocCustom};

// --- objects ----------------------------------------------------------------

ha_object ObjAlloc(int32_t type) {
  return Guarded<ha_object>(nullptr, [&]() -> ha_object {
    if (Failures().NextAllocationFails()) return nullptr;
    if (IsHostType(type)) {
      Object* op = NewLooseObject(type, DefaultName(type));
      ApplyHostDefaults(op);
      return op->Handle();
    }
    if (const ObjectPlugin* plugin = FindObjectPlugin(type)) {
      Object* op = Current().MakePluginObject(*plugin);
      return op != nullptr ? op->Handle() : nullptr;
    }
    return nullptr;
  });
}
ha_object SplineAlloc(int32_t count, int32_t type) {
  return Guarded<ha_object>(nullptr, [&]() -> ha_object {
    if (count < 0 || !IsSplineType(type) || Failures().NextAllocationFails()) return nullptr;
    Object* op = NewLooseObject(Ospline, DefaultName(Ospline));
    op->MakeSpline(count, type);
    return op->Handle();
  });
}
void ObjFree(ha_object h) {
  GuardedVoid([&] {
    Object* op = CheckObject(h, "object free");
    if (op == nullptr) return;
    if (!FreeLoose(op)) ReportMisuse("object free: the object belongs to a document");
  });
}
int32_t ObjType(ha_object h) {
  Object* op = CheckObject(h, "get_type");
  return op != nullptr ? op->Type() : 0;
}
ha_container ObjDataInstance(ha_object h) {
  Object* op = CheckObject(h, "get_data_instance");
  return op != nullptr ? reinterpret_cast<ha_container>(&op->Data()) : nullptr;
}
ha_container ObjDataCopy(ha_object h) {
  return Guarded<ha_container>(nullptr, [&]() -> ha_container {
    Object* op = CheckObject(h, "get_data");
    if (op == nullptr || Failures().NextAllocationFails()) return nullptr;
    return reinterpret_cast<ha_container>(NewModuleContainer(&op->Data()));
  });
}
int32_t ObjSetData(ha_object h, ha_container bch, int32_t merge) {
  return Guarded<int32_t>(0, [&]() -> int32_t {
    Object* op = CheckObject(h, "set_data");
    Container* bc = CheckContainer(bch, "set_data");
    if (op == nullptr || bc == nullptr) return 0;
    if (merge != 0) {
      op->Data().Merge(*bc);
    } else {
      op->Data() = *bc;
    }
    return 1;
  });
}
ha_document ObjDocument(ha_object h) {
  Object* op = CheckObject(h, "get_document");
  return op != nullptr && op->Doc() != nullptr ? op->Doc()->Handle() : nullptr;
}
ha_object Handle(Object* op) { return op != nullptr ? op->Handle() : nullptr; }
ha_object ObjUp(ha_object h) {
  Object* op = CheckObject(h, "get_up");
  return op != nullptr ? Handle(op->Up()) : nullptr;
}
ha_object ObjDown(ha_object h) {
  Object* op = CheckObject(h, "get_down");
  return op != nullptr ? Handle(op->Down()) : nullptr;
}
ha_object ObjNext(ha_object h) {
  Object* op = CheckObject(h, "get_next");
  return op != nullptr ? Handle(op->Next()) : nullptr;
}
ha_object ObjPred(ha_object h) {
  Object* op = CheckObject(h, "get_pred");
  return op != nullptr ? Handle(op->Pred()) : nullptr;
}
bool InsertArgs(ha_object h, ha_object parent, Object** op, Object** up, const char* call) {
  *op = CheckObject(h, call);
  *up = CheckObject(parent, call);
  if (*op == nullptr || *up == nullptr || *op == *up) return false;
  for (Object* a = *up; a != nullptr; a = a->Up()) {
    if (a == *op) {
      ReportMisuse(std::string(call) + ": an object cannot go under its own child");
      return false;
    }
  }
  return true;
}
void ObjInsertUnder(ha_object h, ha_object parent) {
  GuardedVoid([&] {
    Object *op, *up;
    if (InsertArgs(h, parent, &op, &up, "insert_under")) Document::InsertUnder(op, up);
  });
}
void ObjInsertUnderLast(ha_object h, ha_object parent) {
  GuardedVoid([&] {
    Object *op, *up;
    if (InsertArgs(h, parent, &op, &up, "insert_under_last")) Document::InsertUnderLast(op, up);
  });
}
void ObjRemove(ha_object h) {
  GuardedVoid([&] {
    if (Object* op = CheckObject(h, "remove")) Document::Remove(op);
  });
}
int32_t ObjMessage(ha_object h, int32_t type, void* data) {
  return Guarded<int32_t>(0, [&]() -> int32_t {
    Object* op = CheckObject(h, "message");
    return op != nullptr ? Current().SendMessage(op, type, data) : 0;
  });
}
ha_vector* ObjPoints(ha_object h) {
  Object* op = CheckObject(h, "get_point_w");
  return op != nullptr && op->IsSpline() && !op->Points().empty() ? op->Points().data() : nullptr;
}
int32_t ObjPointCount(ha_object h) {
  Object* op = CheckObject(h, "get_point_count");
  return op != nullptr && op->IsSpline() ? static_cast<int32_t>(op->Points().size()) : 0;
}

const ha_object_suite kObject = {
    sizeof(ha_object_suite), ObjAlloc,       SplineAlloc,
    ObjFree,                 ObjType,        ObjDataInstance,
    ObjDataCopy,             ObjSetData,     ObjDocument,
    ObjUp,                   ObjDown,        ObjNext,
    ObjPred,                 ObjInsertUnder, ObjInsertUnderLast,
    ObjRemove,               ObjMessage,     ObjPoints,
    ObjPointCount};

// --- documents --------------------------------------------------------------

int32_t DocStartUndo(ha_document h) {
  Document* doc = CheckDocument(h, "start_undo");
  if (doc == nullptr) return 0;
  doc->StartUndo();
  return 1;
}
int32_t DocAddUndo(ha_document h, int32_t kind, ha_object oh) {
  return Guarded<int32_t>(0, [&]() -> int32_t {
    Document* doc = CheckDocument(h, "add_undo");
    Object* op = CheckObject(oh, "add_undo");
    if (doc == nullptr || op == nullptr) return 0;
    if (kind != HA_UNDO_CHANGE && kind != HA_UNDO_NEW) {
      ReportMisuse("add_undo: unknown undo kind " + std::to_string(kind));
      return 0;
    }
    // A new object is recorded once it is in the document, never before.
    if (kind == HA_UNDO_NEW && op->Doc() != doc) {
      ReportMisuse("add_undo: new object recorded while it is not in the document");
      return 0;
    }
    return doc->AddUndo(kind, op) ? 1 : 0;
  });
}
int32_t DocEndUndo(ha_document h) {
  Document* doc = CheckDocument(h, "end_undo");
  if (doc == nullptr) return 0;
  doc->EndUndo();
  return 1;
}
void DocInsert(ha_document h, ha_object oh, ha_object parent, ha_object pred, int32_t) {
  GuardedVoid([&] {
    Document* doc = CheckDocument(h, "insert_object");
    Object* op = CheckObject(oh, "insert_object");
    if (doc == nullptr || op == nullptr) return;
    doc->Insert(op, CheckObject(parent, "insert_object"), CheckObject(pred, "insert_object"));
  });
}
int32_t DocSplinePlane(ha_document h) {
  Document* doc = CheckDocument(h, "get_spline_plane");
  return doc != nullptr ? doc->SplinePlane() : 0;
}

const ha_document_suite kDocument = {sizeof(ha_document_suite), DocStartUndo, DocAddUndo,
                                     DocEndUndo, DocInsert, DocSplinePlane};

}  // namespace

void Host::BuildTable() {
  table_.version = options_.interfaceVersion;
  table_.size = options_.tableSize != 0 ? options_.tableSize : sizeof(ha_host_table);
  table_.memory = &kMemory;
  table_.resource = &kResource;
  table_.container = &kContainer;
  table_.data = &kData;
  table_.object = &kObject;
  table_.document = &kDocument;
  table_.file = FileSuite();
  table_.crash = options_.offerCrashHandler ? &kCrash : nullptr;
  table_.customdata = CustomDataSuite();
  table_.hyperfile = HyperFileSuite();
  table_.gui = GuiSuite();
}

ha_data NewDataHandle(const Value& value) {
  Value* v = new Value(value);
  Datas().Add(v);
  return reinterpret_cast<ha_data>(v);
}

void FreeDataHandle(ha_data d) { DataFree(d); }

Value* DataValueOf(ha_data d) { return Datas().Has(d) ? reinterpret_cast<Value*>(d) : nullptr; }

}  // namespace host
