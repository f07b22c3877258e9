// Preset files: the arrow's 26 outline and spline values in a big-endian
// file, header lines first.
#include <cstring>

#include "flavour.h"
#include "tolvane.h"

namespace {

constexpr Int32 kFileTypeCode = 0x43344443;     // type code the host's file layer expects
constexpr Int32 kFileCreatorCode = 0x43344431;  // creator code likewise
constexpr Int32 kFileSelectAny = 0;
constexpr Int32 kFileSelectLoad = 0;
constexpr Int32 kFileSelectSave = 1;
constexpr Int32 kFileOpenRead = 1;
constexpr Int32 kFileOpenWrite = 2;
constexpr Int32 kFileDialogErrors = 2;
constexpr Int32 kByteOrderBigEndian = 1;

const char kHeaderLine[] = "# Tolvane preset file";
const char kStartLine[] = "# Start of parameters";
const char kEndLine[] = "# End of parameters";
const char kSuffix[] = "tlv";
const char kPattern[] = "*.tlv";

enum class Item { Text, Real, Flag, Whole };

struct PresetItem {
  Item kind;
  Int32 id;
};

// Items 2 to 26 in file order. Items 8 to 10 (the double-headed values) are
// only in files of a version that has them.
constexpr PresetItem kHeadItems[] = {
    {Item::Real, ARROW_HEAD_LENGTH},  {Item::Real, ARROW_BARB_WIDTH},
    {Item::Real, ARROW_BARB_SWEEP},   {Item::Flag, ARROW_CHEVRON},
    {Item::Flag, ARROW_CHEVRON_SQUARE_ENDS}, {Item::Real, ARROW_CHEVRON_DEPTH}};
constexpr PresetItem kDoubleItems[] = {{Item::Flag, ARROW_DOUBLE_HEADED},
                                       {Item::Real, ARROW_DOUBLE_SHAFT_LENGTH},
                                       {Item::Real, ARROW_DOUBLE_SHAFT_WIDTH}};
constexpr PresetItem kShaftItems[] = {
    {Item::Flag, ARROW_SHAFT},          {Item::Real, ARROW_SHAFT_LENGTH},
    {Item::Real, ARROW_SHAFT_WIDTH},    {Item::Real, ARROW_TAIL_NOTCH},
    {Item::Real, ARROW_HEAD_TAPER},     {Item::Real, ARROW_TAIL_TAPER},
    {Item::Flag, ARROW_FLETCHING},      {Item::Real, ARROW_FLETCHING_LENGTH},
    {Item::Real, ARROW_FLETCHING_HEIGHT}, {Item::Real, ARROW_FLETCHING_SWEEP},
    {Item::Whole, ARROW_PLANE},         {Item::Flag, ARROW_REVERSE},
    {Item::Whole, ARROW_POINT_INTERPOLATION}, {Item::Whole, ARROW_POINT_COUNT},
    {Item::Real, ARROW_POINT_ANGLE},    {Item::Real, ARROW_POINT_MAX_LENGTH}};

// The directory the save dialog starts in: "presets" beside the module, or
// the plug-in folder when there is none.
Filename PresetDirectory() {
  const Filename pluginFolder = GeGetPluginPath();
  const Filename presets = pluginFolder + Filename("presets");
  return GeFExist(presets, true) ? presets : pluginFolder;
}

// Writes one text; false when the text could not be had (no memory) or the
// write failed, so a preset is never written with a text silently missing.
Bool WriteText(BaseFile* file, const String& text) {
  return text.IsValid() && file->WriteString(text, kFlavour.presetStringEncoding);
}

// Writes items; answers false when any write failed.
Bool WriteItems(BaseFile* file, const BaseContainer& bc, const PresetItem* items, int count) {
  Bool ok = true;
  for (int i = 0; i < count; ++i) {
    const PresetItem& item = items[i];
    switch (item.kind) {
      case Item::Text:
        ok = WriteText(file, bc.GetString(item.id)) && ok;
        break;
      case Item::Real:
        ok = file->WriteFloat32(static_cast<Float32>(bc.GetFloat(item.id))) && ok;
        break;
      case Item::Flag:
        ok = file->WriteBool(bc.GetBool(item.id)) && ok;
        break;
      case Item::Whole:
        ok = file->WriteInt32(bc.GetInt32(item.id)) && ok;
        break;
    }
  }
  return ok;
}

// Reads items into `bc`, texts in `encoding`; stops at the first read that
// fails.
Bool ReadItems(BaseFile* file, BaseContainer* bc, const PresetItem* items, int count,
               Int32 encoding = HA_STRINGENCODING_8BIT) {
  for (int i = 0; i < count; ++i) {
    const PresetItem& item = items[i];
    switch (item.kind) {
      case Item::Text: {
        String text;
        if (!file->ReadString(&text, encoding)) return false;
        bc->SetString(item.id, text);
        break;
      }
      case Item::Real: {
        Float32 value = 0.0f;
        if (!file->ReadFloat32(&value)) return false;
        bc->SetFloat(item.id, static_cast<Float>(value));
        break;
      }
      case Item::Flag: {
        Bool value = false;
        if (!file->ReadBool(&value)) return false;
        bc->SetBool(item.id, value);
        break;
      }
      case Item::Whole: {
        Int32 value = 0;
        if (!file->ReadInt32(&value)) return false;
        bc->SetInt32(item.id, value);
        break;
      }
    }
  }
  return true;
}

template <int N>
constexpr int Count(const PresetItem (&)[N]) {
  return N;
}

// Both product versions write the same layout, so files of either hold the
// double-headed items 8 to 10; a file of any other version is taken to be
// one without them.
const char kVersion12[] = "# Version 1.2";
const char kVersion13[] = "# Version 1.3";

Bool HasDoubleItems(const String& versionLine) {
  const char* line = versionLine.GetCStringUTF8();
  return std::strcmp(line, kVersion12) == 0 || std::strcmp(line, kVersion13) == 0;
}

// The encoding of a file's preset name follows its version line: version 1.3
// files hold UTF-8, every other version the host's 8-bit encoding. Decoding
// by the file rather than by this build keeps a non-ASCII name intact across
// the releases.
Int32 NameEncoding(const String& versionLine) {
  return std::strcmp(versionLine.GetCStringUTF8(), kVersion13) == 0 ? HA_STRINGENCODING_UTF8
                                                                     : HA_STRINGENCODING_8BIT;
}

// Writes the whole preset; false when any write failed.
Bool WriteAllItems(BaseFile* file, const BaseContainer& bc) {
  Bool ok = WriteText(file, String(kHeaderLine));
  ok = WriteText(file, String(kFlavour.presetVersionLine)) && ok;
  ok = WriteText(file, String(kStartLine)) && ok;
  const PresetItem name = {Item::Text, ARROW_PRESET_NAME};
  ok = WriteItems(file, bc, &name, 1) && ok;
  ok = WriteItems(file, bc, kHeadItems, Count(kHeadItems)) && ok;
  ok = WriteItems(file, bc, kDoubleItems, Count(kDoubleItems)) && ok;
  ok = WriteItems(file, bc, kShaftItems, Count(kShaftItems)) && ok;
  ok = WriteText(file, String(kEndLine)) && ok;
  return ok;
}

// Reads the whole preset into `bc`; false at the first read that fails.
Bool ReadAllItems(BaseFile* file, BaseContainer* bc) {
  // The header lines are ASCII; read as 8-bit they decode the same in every
  // build, whatever bytes a foreign file holds there.
  String header, version, start;
  if (!file->ReadString(&header, HA_STRINGENCODING_8BIT) ||
      !file->ReadString(&version, HA_STRINGENCODING_8BIT) ||
      !file->ReadString(&start, HA_STRINGENCODING_8BIT))
    return false;
  const PresetItem name = {Item::Text, ARROW_PRESET_NAME};
  if (!ReadItems(file, bc, &name, 1, NameEncoding(version)) ||
      !ReadItems(file, bc, kHeadItems, Count(kHeadItems)))
    return false;
  if (HasDoubleItems(version)) {
    if (!ReadItems(file, bc, kDoubleItems, Count(kDoubleItems))) return false;
  } else {
    // Files without the double-headed items: the arrow gets a single head.
    bc->SetBool(ARROW_DOUBLE_HEADED, false);
    bc->SetFloat(ARROW_DOUBLE_SHAFT_LENGTH, 400.0);
    bc->SetFloat(ARROW_DOUBLE_SHAFT_WIDTH, 100.0);
  }
  return ReadItems(file, bc, kShaftItems, Count(kShaftItems));
}

}  // namespace

Bool SMPlugin::WritePreset(GeListNode* node) {
  Filename target = PresetDirectory() + Filename(kPattern);
  if (!target.FileSelect(kFileSelectAny, kFileSelectSave, String())) return false;
  BaseFile* file = BaseFile::Alloc();
  if (file == nullptr) return false;
  const String suffix(kSuffix);
  if (suffix.IsValid() && !target.CheckSuffix(suffix)) target.SetSuffix(suffix);

  // The preset is written beside its target and only replaces it once every
  // item and the close went through, so a failed save never destroys an
  // existing preset of that name.
  const Filename temporary(target.GetString() + String(".partial"));
  Bool ok = suffix.IsValid() && temporary.GetString().IsValid() && target.Content() &&
            file->Open(temporary, kFileOpenWrite, kFileDialogErrors, kByteOrderBigEndian,
                       kFileTypeCode, kFileCreatorCode);
  const Bool opened = ok;
  if (opened) {
    const BaseContainer* bc = static_cast<BaseObject*>(node)->GetDataInstance();
    ok = WriteAllItems(file, *bc);
    ok = file->Close() && ok;
    ok = ok && GeFRename(temporary, target);
  }
  // Freeing the file object closes a file whose close failed; only a closed
  // file can be removed on every system (Windows refuses to remove an open one).
  BaseFile::Free(file);
  if (opened && !ok) GeFKill(temporary);
  return ok;
}

Bool SMPlugin::LoadPreset(GeListNode* node, BaseDocument* doc) {
  BaseObject* op = static_cast<BaseObject*>(node);
  // Everything read goes into a copy; the arrow changes only when all of it
  // could be read.
  AutoContainer values(op->GetDataCopy());
  if (!values) return false;

  Filename picked = PresetFolder() + Filename(kPattern);
  if (!picked.FileSelect(kFileSelectAny, kFileSelectLoad, String())) return false;
  // The next dialog starts where this file was picked, whatever comes of it.
  presetFolder_ = picked.GetDirectory();

  BaseFile* file = BaseFile::Alloc();
  if (file == nullptr) return false;
  Bool ok = file->Open(picked, kFileOpenRead, kFileDialogErrors, kByteOrderBigEndian,
                       kFileTypeCode, kFileCreatorCode) &&
            ReadAllItems(file, values.Get());
  BaseFile::Free(file);  // closes the file
  if (!ok) return false;

  if (doc != nullptr) doc->AddUndo(HA_UNDO_CHANGE, op);
  return op->SetData(*values.Get(), true);
}
