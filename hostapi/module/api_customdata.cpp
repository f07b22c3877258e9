// Module side of custom data types, scene-file primitives and custom values
// in containers: one forward through the function table per call.
#include "api_customdata.h"

#include "api_offers.h"
#include "api_register.h"

namespace {

const ha_container_suite* Bc() { return HostTable()->container; }
const ha_data_suite* Dat() { return HostTable()->data; }

const ha_hyperfile_suite* Hf() { return HA_TABLE_SUITE(HostTable(), hyperfile); }
const ha_customdata_suite* Cd() { return HA_TABLE_SUITE(HostTable(), customdata); }

ha_customdata CdHandle(const CustomDataType* d) {
  return reinterpret_cast<ha_customdata>(const_cast<CustomDataType*>(d));
}
CustomDataType* CdOf(ha_customdata h) { return reinterpret_cast<CustomDataType*>(h); }

}  // namespace

// ---------------------------------------------------------------------------
// Values and containers

GeData* GeData::Alloc(Int32 type, const CustomDataType& data) {
  if (!HA_OFFERS(Dat(), alloc_custom)) return nullptr;
  ha_data made = Dat()->alloc_custom(type, CdHandle(&data));
  return made != nullptr ? const_cast<GeData*>(&FromHandle(made)) : nullptr;
}

void GeData::Free(GeData*& data) {
  if (data != nullptr) Dat()->free(data->Handle());
  data = nullptr;
}

CustomDataType* GeData::GetCustomDataType(Int32 type) const {
  if (!HA_OFFERS(Dat(), get_custom)) return nullptr;
  return CdOf(Dat()->get_custom(Handle(), type));
}

Int32 BaseContainer::GetId() const { return HA_OFFERS(Bc(), get_id) ? Bc()->get_id(Handle()) : 0; }

void BaseContainer::SetId(Int32 id) {
  if (HA_OFFERS(Bc(), set_id)) Bc()->set_id(Handle(), id);
}

BaseContainer* BaseContainer::GetClone() const {
  return HA_OFFERS(Bc(), copy) ? FromHandle(Bc()->copy(Handle())) : nullptr;
}

CustomDataType* BaseContainer::GetCustomDataType(Int32 id, Int32 type) const {
  return HA_OFFERS(Bc(), get_custom) ? CdOf(Bc()->get_custom(Handle(), id, type)) : nullptr;
}

Bool BaseContainer::SetData(Int32 id, const GeData& data) {
  return HA_OFFERS(Bc(), set_data) && Bc()->set_data(Handle(), id, data.Handle()) != 0;
}

TriState<GeData>& TriState<GeData>::operator=(TriState&& other) noexcept {
  if (this != &other) {
    Clear();
    value_ = other.value_;
    owned_ = other.owned_;
    tri_ = other.tri_;
    other.value_ = nullptr;
    other.owned_ = false;
  }
  return *this;
}

void TriState<GeData>::Take(GeData* owned) {
  Clear();
  value_ = owned;
  owned_ = owned != nullptr;
}

GeData* TriState<GeData>::Release() {
  GeData* out = owned_ ? value_ : nullptr;
  value_ = nullptr;
  owned_ = false;
  return out;
}

void TriState<GeData>::Clear() {
  if (owned_) GeData::Free(value_);
  value_ = nullptr;
  owned_ = false;
}

// ---------------------------------------------------------------------------
// Scene-file primitives

Bool HyperFile::WriteInt64(Int64 v) {
  return HA_OFFERS(Hf(), write_int64) && Hf()->write_int64(Handle(), v) != 0;
}

Bool HyperFile::WriteVector(const Vector& v) {
  const ha_vector out{v.x, v.y, v.z};
  return HA_OFFERS(Hf(), write_vector) && Hf()->write_vector(Handle(), &out) != 0;
}

Bool HyperFile::ReadInt64(Int64* v) {
  return HA_OFFERS(Hf(), read_int64) && Hf()->read_int64(Handle(), v) != 0;
}

Bool HyperFile::ReadVector(Vector* v) {
  ha_vector in{0.0, 0.0, 0.0};
  if (!HA_OFFERS(Hf(), read_vector) || Hf()->read_vector(Handle(), &in) == 0) return false;
  *v = Vector(in.x, in.y, in.z);
  return true;
}

// ---------------------------------------------------------------------------
// Custom data type classes and their trampolines

void CustomDataTypeClass::GetDefaultProperties(BaseContainer&) {}

namespace {

CustomDataTypeClass* Cls(void* user) { return static_cast<CustomDataTypeClass*>(user); }

// The trampolines through which the host reaches a data type's class. Each
// checks what it is handed before it uses it: without its class (a null
// `user`), or without the scene file a value is written to or read from,
// it answers the failure value (0 or null) and reaches nothing. Null values
// are passed on to the class, which refuses or ignores them.

int32_t TrampGetId(void* user) { return user != nullptr ? Cls(user)->GetId() : 0; }
ha_customdata TrampAlloc(void* user) { return user != nullptr ? CdHandle(Cls(user)->AllocData()) : nullptr; }
void TrampFree(void* user, ha_customdata d) {
  if (user != nullptr) Cls(user)->FreeData(CdOf(d));
}
int32_t TrampCopy(void* user, ha_customdata src, ha_customdata dst, ha_aliastrans trans) {
  if (user == nullptr) return 0;
  return Cls(user)->CopyData(CdOf(src), CdOf(dst), reinterpret_cast<AliasTrans*>(trans)) ? 1 : 0;
}
int32_t TrampCompare(void* user, ha_customdata a, ha_customdata b) {
  return user != nullptr ? Cls(user)->Compare(CdOf(a), CdOf(b)) : 0;
}
int32_t TrampWrite(void* user, ha_customdata d, ha_hyperfile hf) {
  if (user == nullptr || d == nullptr || hf == nullptr) return 0;
  return Cls(user)->WriteData(CdOf(d), HyperFile::FromHandle(hf)) ? 1 : 0;
}
int32_t TrampRead(void* user, ha_customdata d, ha_hyperfile hf, int32_t level) {
  if (user == nullptr || d == nullptr || hf == nullptr) return 0;
  return Cls(user)->ReadData(CdOf(d), HyperFile::FromHandle(hf), level) ? 1 : 0;
}
const char* TrampSymbol(void* user) { return user != nullptr ? Cls(user)->GetResourceSym() : nullptr; }
void TrampDefaults(void* user, ha_container bc) {
  if (user != nullptr && bc != nullptr) Cls(user)->GetDefaultProperties(*BaseContainer::FromHandle(bc));
}
void TrampDestroy(void* user) {
  CustomDataTypeClass* cls = Cls(user);
  DeleteObj(cls);  // nothing for null
}

}  // namespace

Bool RegisterCustomDataTypePlugin(const String& name, Int32 info, CustomDataTypeClass* dat,
                                  Int32 disklevel) {
  if (!CanHandOver(dat, HA_OFFERS(Cd(), register_type))) return false;
  ha_customdata_class cls{};
  cls.size = sizeof(cls);
  cls.user = dat;
  cls.get_id = TrampGetId;
  cls.alloc_data = TrampAlloc;
  cls.free_data = TrampFree;
  cls.copy_data = TrampCopy;
  cls.compare = TrampCompare;
  cls.write_data = TrampWrite;
  cls.read_data = TrampRead;
  cls.resource_symbol = TrampSymbol;
  cls.default_properties = TrampDefaults;
  cls.destroy = TrampDestroy;

  auto reg = RegistrationRecord<ha_customdata_info>(dat->GetId(), name, info, &cls);
  reg.disk_level = disklevel;
  return Cd()->register_type(&reg) != 0;
}
