// The host interface as the module sees it: thin classes under the host's
// names. Each call forwards through the function table kept by InitOS.
//
// Host-owned things (objects, documents, containers, files, values) are
// opaque handles on the boundary; their classes here have no data of their
// own and `this` *is* the handle, so `BaseObject*` is used like the host's
// pointer. `String`, `Filename`, `DescID` and `Vector` are values the module
// owns; their memory comes from the host allocator like every other
// allocation of the module.
#ifndef TOLVANE_API_H
#define TOLVANE_API_H

#include <new>
#include <utility>

#include "../abi/hostapi.h"
#include "api_types.h"

// ---------------------------------------------------------------------------
// The function table

// Keeps the host's function table and answers the host's interface version.
Int32 InitOS(void* table);
// Forgets the table (after the last end action).
void ResetOS();
// The table kept by InitOS; null before.
const ha_host_table* HostTable();

// ---------------------------------------------------------------------------
// Memory: every allocation is tagged with its source file and line.

void* MemAllocTagged(std::size_t size, const char* file, Int32 line);
void MemFree(void* block);

// Allocates and constructs a T through the host allocator; null on failure.
template <typename T, typename... Args>
T* NewObjTagged(const char* file, Int32 line, Args&&... args) {
  void* mem = MemAllocTagged(sizeof(T), file, line);
  if (mem == nullptr) return nullptr;
  return new (mem) T(std::forward<Args>(args)...);
}

// Destroys and frees an object made by NewObj; sets the pointer to null.
template <typename T>
void DeleteObj(T*& obj) {
  if (obj == nullptr) return;
  obj->~T();
  MemFree(obj);
  obj = nullptr;
}

#define NewObj(T) NewObjTagged<T>(__FILE__, __LINE__)
#define NewObjWith(T, ...) NewObjTagged<T>(__FILE__, __LINE__, __VA_ARGS__)
#define NewMem(size) MemAllocTagged((size), __FILE__, __LINE__)

// ---------------------------------------------------------------------------
// String: UTF-8 text in host memory.

class String {
 public:
  String() = default;
  String(const char* utf8);  // NOLINT: implicit like the host's String
  String(const char* bytes, std::size_t len);
  String(const String& other);
  String(String&& other) noexcept;
  ~String();
  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;

  // The UTF-8 bytes, always zero-terminated ("" when empty).
  const char* GetCStringUTF8() const { return data_ != nullptr ? data_ : ""; }
  std::size_t GetLength() const { return len_; }
  Bool IsEmpty() const { return len_ == 0; }
  // False when the last assignment could not get memory (the text is then empty).
  Bool IsValid() const { return valid_; }

  String operator+(const String& other) const;
  Bool operator==(const String& other) const;
  Bool operator!=(const String& other) const { return !(*this == other); }

  // Takes a host text: copies it and frees the text.
  static String TakeText(ha_text text);

 private:
  void Assign(const char* bytes, std::size_t len);
  char* data_ = nullptr;
  std::size_t len_ = 0;
  Bool valid_ = true;
};

// ---------------------------------------------------------------------------
// Filename: a path in the platform's notation; the host knows its rules.

class Filename {
 public:
  Filename() = default;
  Filename(const String& path) : path_(path) {}  // NOLINT
  Filename(const char* path) : path_(path) {}    // NOLINT

  const String& GetString() const { return path_; }
  Bool Content() const { return !path_.IsEmpty(); }

  Filename GetDirectory() const;
  Filename GetFile() const;
  void SetDirectory(const Filename& dir);
  void SetFile(const Filename& file);
  // Gives the name `suffix` in place of the suffix it had (or adds it).
  void SetSuffix(const String& suffix);
  Bool CheckSuffix(const String& suffix) const;
  // Shows the host's file dialog starting here; on success this becomes the
  // picked file. False when cancelled.
  Bool FileSelect(Int32 type, Int32 mode, const String& title);

  // Joins a relative name onto this directory.
  Filename operator+(const Filename& name) const;
  Bool operator==(const Filename& other) const { return path_ == other.path_; }

 private:
  String path_;
};

Bool GeFExist(const Filename& name, Bool isdir = false);

// The module's own file as the host named it at the first initialisation;
// null before that and after the end. Owned by the module entry.
extern Filename* path_storage;
// The plug-in folder: the directory of the module's file.
Filename GeGetPluginPath();

// ---------------------------------------------------------------------------
// Resources and console

class GeResource {
 public:
  // Loads the resource folder beside the module; false when it cannot.
  Bool Init();
  void Free();
  ha_resource Handle() const { return res_; }

 private:
  ha_resource res_ = nullptr;
};

// The module's resources.
extern GeResource resource;

String GeLoadString(Int32 id);
void GePrint(const String& line);
Int32 GeOutString(const String& text, Int32 flags);

// An icon from the module's resources, freed with the holder.
class AutoBitmap {
 public:
  explicit AutoBitmap(const String& name);
  AutoBitmap(const String& name, Float pixelRatio);
  ~AutoBitmap();
  AutoBitmap(const AutoBitmap&) = delete;
  AutoBitmap& operator=(const AutoBitmap&) = delete;
  ha_bitmap Handle() const { return bmp_; }

 private:
  ha_bitmap bmp_ = nullptr;
};

// ---------------------------------------------------------------------------
// Description IDs and values

struct DescLevel {
  Int32 id = 0;
  Int32 dtype = 0;
  Int32 creator = 0;
};

class DescID {
 public:
  DescID() = default;
  explicit DescID(Int32 id) : depth_(1) { level_[0].id = id; }
  const DescLevel& operator[](Int32 pos) const { return level_[pos]; }
  Int32 GetDepth() const { return depth_; }

 private:
  Int32 depth_ = 0;
  DescLevel level_[HA_DESCID_MAX_DEPTH];
};
static_assert(sizeof(DescID) == sizeof(ha_descid), "DescID must match the boundary layout");

struct DescriptionCommand {
  DescID id;
};
static_assert(sizeof(DescriptionCommand) == sizeof(ha_desc_command), "layout");

class BaseDocument;

struct DescriptionPostSetValue {
  BaseDocument* doc;
  Int32 flags;
  const DescID* descid;
};
static_assert(sizeof(DescriptionPostSetValue) == sizeof(ha_desc_changed), "layout");
static_assert(offsetof(DescriptionPostSetValue, flags) == offsetof(ha_desc_changed, flags), "layout");
static_assert(offsetof(DescriptionPostSetValue, descid) == offsetof(ha_desc_changed, id), "layout");
// On 32-bit targets the ID pointer is the third 4-byte word of the record.
static_assert(sizeof(void*) != 4 || offsetof(ha_desc_changed, id) == 8, "32-bit record layout");

class CustomDataType;  // api_customdata.h

// A single value of any type, owned by the host (borrowed by the module),
// or made by the module with Alloc and freed with Free.
class GeData {
 public:
  // A new value holding a copy of custom data `data` of type `type`, copied
  // through the type's registered class; null when out of memory.
  static GeData* Alloc(Int32 type, const CustomDataType& data);
  static void Free(GeData*& data);

  Int32 GetType() const;
  Int32 GetInt32() const;
  Float GetFloat() const;
  // The custom data of type `type` the value holds (borrowed), or null.
  CustomDataType* GetCustomDataType(Int32 type) const;
  ha_data Handle() const { return reinterpret_cast<ha_data>(const_cast<GeData*>(this)); }
  static const GeData& FromHandle(ha_data d) { return *reinterpret_cast<const GeData*>(d); }

  GeData() = delete;
};

// ---------------------------------------------------------------------------
// Containers

class BaseObject;

class BaseContainer {
 public:
  // A new empty container the module owns; null when out of memory.
  static BaseContainer* Alloc();
  static void Free(BaseContainer*& bc);

  Bool GetBool(Int32 id, Bool preset = false) const;
  Int32 GetInt32(Int32 id, Int32 preset = 0) const;
  Float GetFloat(Int32 id, Float preset = 0.0) const;
  Vector GetVector(Int32 id, const Vector& preset = Vector()) const;
  String GetString(Int32 id) const;
  // The linked object if it lives in `doc` and is of type `instanceOf`.
  BaseObject* GetObjectLink(Int32 id, BaseDocument* doc, Int32 instanceOf = Obase) const;
  Int32 GetType(Int32 id) const;

  void SetBool(Int32 id, Bool value);
  void SetInt32(Int32 id, Int32 value);
  void SetFloat(Int32 id, Float value);
  void SetVector(Int32 id, const Vector& value);
  void SetString(Int32 id, const String& value);
  void SetLink(Int32 id, BaseObject* target);

  // The container's own ID (the ID of a message).
  Int32 GetId() const;
  void SetId(Int32 id);
  // A copy the caller owns (free with Free); null when out of memory.
  BaseContainer* GetClone() const;
  // The custom data of type `type` under `id` (borrowed), or null.
  CustomDataType* GetCustomDataType(Int32 id, Int32 type) const;
  // Stores a copy of `data` under `id`; false when it could not be copied.
  Bool SetData(Int32 id, const GeData& data);

  ha_container Handle() const {
    return reinterpret_cast<ha_container>(const_cast<BaseContainer*>(this));
  }
  static BaseContainer* FromHandle(ha_container h) { return reinterpret_cast<BaseContainer*>(h); }

  BaseContainer() = delete;
};

// Owns a container copy and frees it on scope exit.
class AutoContainer {
 public:
  explicit AutoContainer(BaseContainer* bc) : bc_(bc) {}
  ~AutoContainer() { BaseContainer::Free(bc_); }
  AutoContainer(const AutoContainer&) = delete;
  AutoContainer& operator=(const AutoContainer&) = delete;
  BaseContainer* operator->() const { return bc_; }
  BaseContainer* Get() const { return bc_; }
  explicit operator bool() const { return bc_ != nullptr; }

 private:
  BaseContainer* bc_;
};

// ---------------------------------------------------------------------------
// Scene nodes and objects

class GeListNode {
 public:
  BaseDocument* GetDocument() const;
  ha_object Handle() const { return reinterpret_cast<ha_object>(const_cast<GeListNode*>(this)); }
  GeListNode() = delete;
};

class BaseList2D : public GeListNode {
 public:
  // The node's own container, written in place.
  BaseContainer* GetDataInstance() const;
  // A copy of the node's container, owned by the caller; null when out of memory.
  BaseContainer* GetDataCopy() const;
  // Writes `bc` into the node's container, merged when `merge` is true.
  Bool SetData(const BaseContainer& bc, Bool merge = true);
  Bool Message(Int32 type, void* data = nullptr);
};

class BaseObject : public BaseList2D {
 public:
  static BaseObject* Alloc(Int32 type);
  static void Free(BaseObject*& op);
  static BaseObject* FromHandle(ha_object h) { return reinterpret_cast<BaseObject*>(h); }

  Int32 GetType() const;
  BaseObject* GetUp() const;
  BaseObject* GetDown() const;
  BaseObject* GetNext() const;
  BaseObject* GetPred() const;
  void InsertUnder(BaseObject* parent);
  void InsertUnderLast(BaseObject* parent);
  void Remove();
};

class SplineObject : public BaseObject {
 public:
  static SplineObject* Alloc(Int32 pointCount, Int32 type);
  Vector* GetPointW();
  Int32 GetPointCount() const;
};

class BaseDocument {
 public:
  Bool StartUndo();
  Bool AddUndo(Int32 type, BaseList2D* node);
  Bool EndUndo();
  void InsertObject(BaseObject* op, BaseObject* parent, BaseObject* pred, Bool checknames = false);
  Int32 GetSplinePlane() const;
  ha_document Handle() const {
    return reinterpret_cast<ha_document>(const_cast<BaseDocument*>(this));
  }
  static BaseDocument* FromHandle(ha_document h) { return reinterpret_cast<BaseDocument*>(h); }
  BaseDocument() = delete;
};

class BaseThread;

// ---------------------------------------------------------------------------
// Byte files

class BaseFile {
 public:
  static BaseFile* Alloc();
  // Frees the file object, closing the file if it is open.
  static void Free(BaseFile*& file);

  Bool Open(const Filename& name, Int32 mode, Int32 errorDialog, Int32 order, Int32 type,
            Int32 creator);
  Bool Close();
  Int64 GetLength() const;

  Bool WriteBool(Bool v);
  Bool WriteInt32(Int32 v);
  Bool WriteFloat32(Float32 v);
  Bool WriteString(const String& v, Int32 encoding);
  Bool ReadBool(Bool* v);
  Bool ReadInt32(Int32* v);
  Bool ReadFloat32(Float32* v);
  Bool ReadString(String* v, Int32 encoding);

  BaseFile() = delete;

 private:
  ha_file Handle() const { return reinterpret_cast<ha_file>(const_cast<BaseFile*>(this)); }
};

// Replaces `to` by `from` in one step; removes a file.
Bool GeFRename(const Filename& from, const Filename& to);
Bool GeFKill(const Filename& name);

// ---------------------------------------------------------------------------
// Plug-in classes

class NodeData {
 public:
  virtual ~NodeData() = default;
  virtual Bool Init(GeListNode* node);
  virtual Bool Message(GeListNode* node, Int32 type, void* data);
  virtual Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& t_data,
                            Int32 flags, const BaseContainer* itemdesc);
};

class ObjectData : public NodeData {
 public:
  virtual SplineObject* GetContour(BaseObject* op, BaseDocument* doc, Float lod, BaseThread* bt);
};

using DataAllocator = NodeData*();

// Registers an object plug-in; answers what the host answered (1 = registered).
Int32 RegisterObjectPlugin(Int32 id, const String& name, Int32 info, DataAllocator* alloc,
                           const String& description, const AutoBitmap* icon, Int32 diskLevel);

// The crash handler entry of hosts that keep one (null when none is offered).
using CrashHandler = void (*)(char* text);
CrashHandler GetCrashHandler();
void SetCrashHandler(CrashHandler handler);

// Frees the interface layer's module-wide lists (registered plug-in classes).
void ReleaseHostLists();

#endif
