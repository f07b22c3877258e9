// Module side of the host interface: every call is one forward through the
// function table.
#include "api.h"

#include <cstring>

#include "api_register.h"
#include "api_release.h"

namespace {

const ha_host_table* g_table = nullptr;

const ha_memory_suite* Mem() { return g_table->memory; }
const ha_resource_suite* Res() { return g_table->resource; }
const ha_container_suite* Bc() { return g_table->container; }
const ha_object_suite* Obj() { return g_table->object; }
const ha_document_suite* Doc() { return g_table->document; }
const ha_file_suite* Fil() { return g_table->file; }

}  // namespace

Int32 InitOS(void* table) {
  g_table = static_cast<const ha_host_table*>(table);
  return g_table != nullptr ? g_table->version : 0;
}

void ResetOS() { g_table = nullptr; }

const ha_host_table* HostTable() { return g_table; }

// ---------------------------------------------------------------------------

void* MemAllocTagged(std::size_t size, const char* file, Int32 line) {
  return Mem()->alloc(size, file, line);
}

void MemFree(void* block) {
  if (block != nullptr) Mem()->free(block);
}

// ---------------------------------------------------------------------------

String::String(const char* utf8) { Assign(utf8, utf8 != nullptr ? std::strlen(utf8) : 0); }

String::String(const char* bytes, std::size_t len) { Assign(bytes, len); }

String::String(const String& other) { Assign(other.data_, other.len_); }

String::String(String&& other) noexcept
    : data_(other.data_), len_(other.len_), valid_(other.valid_) {
  other.data_ = nullptr;
  other.len_ = 0;
}

String::~String() { MemFree(data_); }

String& String::operator=(const String& other) {
  if (this != &other) Assign(other.data_, other.len_);
  return *this;
}

String& String::operator=(String&& other) noexcept {
  if (this != &other) {
    MemFree(data_);
    data_ = other.data_;
    len_ = other.len_;
    valid_ = other.valid_;
    other.data_ = nullptr;
    other.len_ = 0;
  }
  return *this;
}

void String::Assign(const char* bytes, std::size_t len) {
  char* fresh = nullptr;
  valid_ = true;
  if (len > 0) {
    fresh = static_cast<char*>(NewMem(len + 1));
    if (fresh == nullptr) {
      valid_ = false;
      len = 0;
    } else {
      std::memcpy(fresh, bytes, len);
      fresh[len] = '\0';
    }
  }
  MemFree(data_);
  data_ = fresh;
  len_ = len;
}

String String::operator+(const String& other) const {
  if (len_ == 0) return other;
  if (other.len_ == 0) return *this;
  String joined;
  char* fresh = static_cast<char*>(NewMem(len_ + other.len_ + 1));
  if (fresh == nullptr) {
    joined.valid_ = false;
    return joined;
  }
  std::memcpy(fresh, data_, len_);
  std::memcpy(fresh + len_, other.data_, other.len_);
  fresh[len_ + other.len_] = '\0';
  joined.data_ = fresh;
  joined.len_ = len_ + other.len_;
  return joined;
}

Bool String::operator==(const String& other) const {
  return len_ == other.len_ && (len_ == 0 || std::memcmp(data_, other.data_, len_) == 0);
}

String String::TakeText(ha_text text) {
  String s(Mem()->text_get(text));
  Mem()->text_free(text);
  return s;
}

// ---------------------------------------------------------------------------

Filename Filename::GetDirectory() const {
  return Filename(String::TakeText(Fil()->name_directory(path_.GetCStringUTF8())));
}

Filename Filename::GetFile() const {
  return Filename(String::TakeText(Fil()->name_file(path_.GetCStringUTF8())));
}

void Filename::SetDirectory(const Filename& dir) { *this = dir + GetFile(); }

void Filename::SetFile(const Filename& file) { *this = GetDirectory() + file; }

void Filename::SetSuffix(const String& suffix) {
  path_ = String::TakeText(
      Fil()->name_set_suffix(path_.GetCStringUTF8(), suffix.GetCStringUTF8()));
}

Bool Filename::CheckSuffix(const String& suffix) const {
  return Fil()->name_check_suffix(path_.GetCStringUTF8(), suffix.GetCStringUTF8()) != 0;
}

Bool Filename::FileSelect(Int32 type, Int32 mode, const String& title) {
  ha_text picked =
      Fil()->file_select(type, mode, title.GetCStringUTF8(), path_.GetCStringUTF8());
  if (picked == nullptr) return false;
  path_ = String::TakeText(picked);
  return true;
}

Filename Filename::operator+(const Filename& name) const {
  return Filename(String::TakeText(
      Fil()->name_join(path_.GetCStringUTF8(), name.path_.GetCStringUTF8())));
}

Bool GeFExist(const Filename& name, Bool isdir) {
  return Fil()->exists(name.GetString().GetCStringUTF8(), isdir ? 1 : 0) != 0;
}

Bool GeFRename(const Filename& from, const Filename& to) {
  return Fil()->rename(from.GetString().GetCStringUTF8(), to.GetString().GetCStringUTF8()) != 0;
}

Bool GeFKill(const Filename& name) {
  return Fil()->remove(name.GetString().GetCStringUTF8()) != 0;
}

Filename* path_storage = nullptr;

Filename GeGetPluginPath() {
  if (path_storage == nullptr) return Filename();
  return path_storage->GetDirectory();
}

// ---------------------------------------------------------------------------

GeResource resource;

Bool GeResource::Init() {
  Free();
  res_ = Res()->load(GeGetPluginPath().GetString().GetCStringUTF8());
  return res_ != nullptr;
}

void GeResource::Free() {
  if (res_ != nullptr && g_table != nullptr) Res()->free(res_);
  res_ = nullptr;
}

String GeLoadString(Int32 id) { return String::TakeText(Res()->load_string(resource.Handle(), id)); }

void GePrint(const String& line) { Res()->print(line.GetCStringUTF8()); }

Int32 GeOutString(const String& text, Int32 flags) {
  return Res()->out_string(text.GetCStringUTF8(), flags);
}

AutoBitmap::AutoBitmap(const String& name)
    : bmp_(Res()->load_bitmap(resource.Handle(), name.GetCStringUTF8(), 0.0)) {}

AutoBitmap::AutoBitmap(const String& name, Float pixelRatio)
    : bmp_(Res()->load_bitmap(resource.Handle(), name.GetCStringUTF8(), pixelRatio)) {}

AutoBitmap::~AutoBitmap() {
  if (bmp_ != nullptr) Res()->free_bitmap(bmp_);
}

// ---------------------------------------------------------------------------

Int32 GeData::GetType() const { return g_table->data->get_type(Handle()); }
Int32 GeData::GetInt32() const { return g_table->data->get_int32(Handle()); }
Float GeData::GetFloat() const { return g_table->data->get_float(Handle()); }

// ---------------------------------------------------------------------------

BaseContainer* BaseContainer::Alloc() { return FromHandle(Bc()->alloc()); }

void BaseContainer::Free(BaseContainer*& bc) {
  if (bc != nullptr) Bc()->free(bc->Handle());
  bc = nullptr;
}

Bool BaseContainer::GetBool(Int32 id, Bool preset) const {
  return Bc()->get_int32(Handle(), id, preset ? 1 : 0) != 0;
}
Int32 BaseContainer::GetInt32(Int32 id, Int32 preset) const {
  return Bc()->get_int32(Handle(), id, preset);
}
Float BaseContainer::GetFloat(Int32 id, Float preset) const {
  return Bc()->get_float(Handle(), id, preset);
}
Vector BaseContainer::GetVector(Int32 id, const Vector& preset) const {
  ha_vector in{preset.x, preset.y, preset.z};
  ha_vector out{0.0, 0.0, 0.0};
  Bc()->get_vector(Handle(), id, &in, &out);
  return Vector(out.x, out.y, out.z);
}
String BaseContainer::GetString(Int32 id) const {
  return String::TakeText(Bc()->get_string(Handle(), id));
}
BaseObject* BaseContainer::GetObjectLink(Int32 id, BaseDocument* doc, Int32 instanceOf) const {
  return BaseObject::FromHandle(
      Bc()->get_link(Handle(), id, doc != nullptr ? doc->Handle() : nullptr, instanceOf));
}
Int32 BaseContainer::GetType(Int32 id) const { return Bc()->get_type(Handle(), id); }

void BaseContainer::SetBool(Int32 id, Bool value) { Bc()->set_int32(Handle(), id, value ? 1 : 0); }
void BaseContainer::SetInt32(Int32 id, Int32 value) { Bc()->set_int32(Handle(), id, value); }
void BaseContainer::SetFloat(Int32 id, Float value) { Bc()->set_float(Handle(), id, value); }
void BaseContainer::SetVector(Int32 id, const Vector& value) {
  ha_vector v{value.x, value.y, value.z};
  Bc()->set_vector(Handle(), id, &v);
}
void BaseContainer::SetString(Int32 id, const String& value) {
  Bc()->set_string(Handle(), id, value.GetCStringUTF8());
}
void BaseContainer::SetLink(Int32 id, BaseObject* target) {
  Bc()->set_link(Handle(), id, target != nullptr ? target->Handle() : nullptr);
}

// ---------------------------------------------------------------------------

BaseDocument* GeListNode::GetDocument() const {
  return BaseDocument::FromHandle(Obj()->get_document(Handle()));
}

BaseContainer* BaseList2D::GetDataInstance() const {
  return BaseContainer::FromHandle(Obj()->get_data_instance(Handle()));
}
BaseContainer* BaseList2D::GetDataCopy() const {
  return BaseContainer::FromHandle(Obj()->get_data(Handle()));
}
Bool BaseList2D::SetData(const BaseContainer& bc, Bool merge) {
  return Obj()->set_data(Handle(), bc.Handle(), merge ? 1 : 0) != 0;
}
Bool BaseList2D::Message(Int32 type, void* data) {
  return Obj()->message(Handle(), type, data) != 0;
}

BaseObject* BaseObject::Alloc(Int32 type) { return FromHandle(Obj()->alloc(type)); }
void BaseObject::Free(BaseObject*& op) {
  if (op != nullptr) Obj()->free(op->Handle());
  op = nullptr;
}
Int32 BaseObject::GetType() const { return Obj()->get_type(Handle()); }
BaseObject* BaseObject::GetUp() const { return FromHandle(Obj()->get_up(Handle())); }
BaseObject* BaseObject::GetDown() const { return FromHandle(Obj()->get_down(Handle())); }
BaseObject* BaseObject::GetNext() const { return FromHandle(Obj()->get_next(Handle())); }
BaseObject* BaseObject::GetPred() const { return FromHandle(Obj()->get_pred(Handle())); }
void BaseObject::InsertUnder(BaseObject* parent) {
  Obj()->insert_under(Handle(), parent != nullptr ? parent->Handle() : nullptr);
}
void BaseObject::InsertUnderLast(BaseObject* parent) {
  Obj()->insert_under_last(Handle(), parent != nullptr ? parent->Handle() : nullptr);
}
void BaseObject::Remove() { Obj()->remove(Handle()); }

SplineObject* SplineObject::Alloc(Int32 pointCount, Int32 type) {
  return reinterpret_cast<SplineObject*>(Obj()->spline_alloc(pointCount, type));
}
Vector* SplineObject::GetPointW() {
  return reinterpret_cast<Vector*>(Obj()->get_point_w(Handle()));
}
Int32 SplineObject::GetPointCount() const { return Obj()->get_point_count(Handle()); }

Bool BaseDocument::StartUndo() { return Doc()->start_undo(Handle()) != 0; }
Bool BaseDocument::AddUndo(Int32 type, BaseList2D* node) {
  return Doc()->add_undo(Handle(), type, node != nullptr ? node->Handle() : nullptr) != 0;
}
Bool BaseDocument::EndUndo() { return Doc()->end_undo(Handle()) != 0; }
void BaseDocument::InsertObject(BaseObject* op, BaseObject* parent, BaseObject* pred,
                                Bool checknames) {
  Doc()->insert_object(Handle(), op != nullptr ? op->Handle() : nullptr,
                       parent != nullptr ? parent->Handle() : nullptr,
                       pred != nullptr ? pred->Handle() : nullptr, checknames ? 1 : 0);
}
Int32 BaseDocument::GetSplinePlane() const { return Doc()->get_spline_plane(Handle()); }

// ---------------------------------------------------------------------------

BaseFile* BaseFile::Alloc() { return reinterpret_cast<BaseFile*>(Fil()->file_alloc()); }
void BaseFile::Free(BaseFile*& file) {
  if (file != nullptr) Fil()->file_free(file->Handle());
  file = nullptr;
}
Bool BaseFile::Open(const Filename& name, Int32 mode, Int32 errorDialog, Int32 order, Int32 type,
                    Int32 creator) {
  return Fil()->file_open(Handle(), name.GetString().GetCStringUTF8(), mode, errorDialog, order,
                          type, creator) != 0;
}
Bool BaseFile::Close() { return Fil()->file_close(Handle()) != 0; }
Int64 BaseFile::GetLength() const { return Fil()->file_length(Handle()); }
Bool BaseFile::WriteBool(Bool v) { return Fil()->write_bool(Handle(), v ? 1 : 0) != 0; }
Bool BaseFile::WriteInt32(Int32 v) { return Fil()->write_int32(Handle(), v) != 0; }
Bool BaseFile::WriteFloat32(Float32 v) { return Fil()->write_float32(Handle(), v) != 0; }
Bool BaseFile::WriteString(const String& v, Int32 encoding) {
  return Fil()->write_string(Handle(), v.GetCStringUTF8(), encoding) != 0;
}
Bool BaseFile::ReadBool(Bool* v) {
  Int32 raw = 0;
  if (Fil()->read_bool(Handle(), &raw) == 0) return false;
  *v = raw != 0;
  return true;
}
Bool BaseFile::ReadInt32(Int32* v) { return Fil()->read_int32(Handle(), v) != 0; }
Bool BaseFile::ReadFloat32(Float32* v) { return Fil()->read_float32(Handle(), v) != 0; }
Bool BaseFile::ReadString(String* v, Int32 encoding) {
  ha_text text = nullptr;
  if (Fil()->read_string(Handle(), encoding, &text) == 0) return false;
  String read = String::TakeText(text);
  if (!read.IsValid()) return false;  // no memory for the text
  *v = std::move(read);
  return true;
}

// ---------------------------------------------------------------------------
// Plug-in classes and their trampolines

Bool NodeData::Init(GeListNode*) { return true; }
Bool NodeData::Message(GeListNode*, Int32, void*) { return true; }
Bool NodeData::GetDEnabling(GeListNode* node, const DescID& id, const GeData& t_data, Int32 flags,
                            const BaseContainer* itemdesc) {
  return Res()->base_get_d_enabling(node->Handle(), reinterpret_cast<const ha_descid*>(&id),
                                    t_data.Handle(), flags,
                                    itemdesc != nullptr ? itemdesc->Handle() : nullptr) != 0;
}
SplineObject* ObjectData::GetContour(BaseObject*, BaseDocument*, Float, BaseThread*) {
  return nullptr;
}

namespace {

NodeData* Data(ha_nodedata d) { return reinterpret_cast<NodeData*>(d); }
GeListNode* Node(ha_object o) { return reinterpret_cast<GeListNode*>(o); }

// One registered class: the boundary record and the module's allocator.
struct ClassRecord {
  ha_object_plugin_class cls;
  DataAllocator* alloc;
  ClassRecord* next;
};

// The records of the registered classes, kept where api_release.h says for
// this release; only the storage of that one is instantiated.
template <bool InHostMemory>
class ClassRecords {
 public:
  // A new record, or null when none can be had.
  static ClassRecord* New() {
    if constexpr (InHostMemory) {
      ClassRecord* record = NewObj(ClassRecord);
      if (record == nullptr) return nullptr;
      record->next = list_;
      list_ = record;
      return record;
    } else {
      if (count_ == api_release::kStaticClassSlots) return nullptr;
      return &table_[count_++];
    }
  }
  // Gives every record back to the host (records in static storage stay).
  static void Release() {
    if constexpr (InHostMemory) {
      while (list_ != nullptr) {
        ClassRecord* next = list_->next;
        DeleteObj(list_);
        list_ = next;
      }
    }
  }
  // The record `user` points at, when it is one of those handed out; null
  // for any other pointer.
  static const ClassRecord* Find(const void* user) {
    if (user == nullptr) return nullptr;
    if constexpr (InHostMemory) {
      for (const ClassRecord* record = list_; record != nullptr; record = record->next) {
        if (record == user) return record;
      }
    } else {
      for (int i = 0; i < count_; ++i) {
        if (&table_[i] == user) return &table_[i];
      }
    }
    return nullptr;
  }

 private:
  inline static ClassRecord* list_ = nullptr;
  inline static ClassRecord table_[api_release::kStaticClassSlots] = {};
  inline static int count_ = 0;
};

using Classes = ClassRecords<api_release::kClassRecordsInHostMemory>;

// The trampolines through which the host reaches the arrow's class. Like the
// host's own entries they check what they are handed before they use it: a
// null node data, object, ID or value, or a class record the module did not
// hand out, answers the failure value (0 or null) and reaches nothing. A null
// document, thread or item description is passed on: the class takes those
// as absent.

ha_nodedata TrampAlloc(const void* user) {
  const ClassRecord* record = Classes::Find(user);
  if (record == nullptr || record->alloc == nullptr) return nullptr;
  return reinterpret_cast<ha_nodedata>(record->alloc());
}
void TrampFree(ha_nodedata d) {
  NodeData* data = Data(d);
  DeleteObj(data);  // nothing for null
}
int32_t TrampInit(ha_nodedata d, ha_object node) {
  if (d == nullptr || node == nullptr) return 0;
  return Data(d)->Init(Node(node)) ? 1 : 0;
}
int32_t TrampMessage(ha_nodedata d, ha_object node, int32_t type, void* msg) {
  if (d == nullptr) return 0;
  return Data(d)->Message(Node(node), type, msg) ? 1 : 0;
}
int32_t TrampEnabling(ha_nodedata d, ha_object node, const ha_descid* id, ha_data value,
                      int32_t flags, ha_container desc) {
  if (d == nullptr || node == nullptr || id == nullptr || value == nullptr) return 0;
  return Data(d)->GetDEnabling(Node(node), *reinterpret_cast<const DescID*>(id),
                               GeData::FromHandle(value), flags,
                               desc != nullptr ? BaseContainer::FromHandle(desc) : nullptr)
             ? 1
             : 0;
}
ha_object TrampContour(ha_nodedata d, ha_object op, ha_document doc, double lod, ha_thread bt) {
  if (d == nullptr || op == nullptr) return nullptr;
  auto* data = static_cast<ObjectData*>(Data(d));
  SplineObject* spline = data->GetContour(BaseObject::FromHandle(op), BaseDocument::FromHandle(doc),
                                          lod, reinterpret_cast<BaseThread*>(bt));
  return spline != nullptr ? spline->Handle() : nullptr;
}

}  // namespace

void ReleaseHostLists() { Classes::Release(); }

Int32 RegisterObjectPlugin(Int32 id, const String& name, Int32 info, DataAllocator* alloc,
                           const String& description, const AutoBitmap* icon, Int32 diskLevel) {
  ClassRecord* record = Classes::New();
  if (record == nullptr) return 0;
  record->alloc = alloc;
  ha_object_plugin_class* cls = &record->cls;
  cls->size = sizeof(ha_object_plugin_class);
  cls->user = record;
  cls->alloc = TrampAlloc;
  cls->free = TrampFree;
  cls->init = TrampInit;
  cls->message = TrampMessage;
  cls->get_d_enabling = TrampEnabling;
  cls->get_contour = TrampContour;

  auto reg = RegistrationRecord<ha_object_plugin_info>(id, name, info, cls);
  reg.description = description.GetCStringUTF8();
  reg.icon = icon != nullptr ? icon->Handle() : nullptr;
  reg.disk_level = diskLevel;
  return Res()->register_object_plugin(&reg);
}

CrashHandler GetCrashHandler() {
  return g_table->crash != nullptr ? g_table->crash->get_handler() : nullptr;
}

void SetCrashHandler(CrashHandler handler) {
  if (g_table->crash != nullptr) g_table->crash->set_handler(handler);
}
