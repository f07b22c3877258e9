// The arrow generator object.
#ifndef TOLVANE_H
#define TOLVANE_H

#include "api.h"
#include "outline.h"

// ID_TOLVANE, the arrow object's plug-in ID, is in hostapi/abi/ha_ids.h
// (through api.h).
constexpr Int32 IDS_TOLVANE = 10000;       // object name
constexpr Int32 IDS_TOLVANE_INFO = 10001;  // information box text

Bool PluginStart();
Bool PluginMessage(Int32 id, void* data);
void PluginEnd();
Bool RegisterTolvane();

// A new host object taken ahead of use, with a copy of its container when
// the object's settings are to be written.
struct NewObject {
  BaseObject* op = nullptr;
  BaseContainer* settings = nullptr;
};

// What a build command takes from the host's allocator: new objects and
// copies of containers. A command takes all of it before it changes anything,
// so that an allocation that fails leaves the document as it was; what the
// document did not take over is freed with the parts.
class BuildParts {
 public:
  BuildParts() = default;
  ~BuildParts();
  BuildParts(const BuildParts&) = delete;
  BuildParts& operator=(const BuildParts&) = delete;

  // A copy of `op`'s container, kept until the parts go; null when it cannot
  // be had.
  BaseContainer* Copy(const BaseObject* op);
  // A new object of `type` and, when `withSettings`, a copy of its container;
  // false when either cannot be had.
  Bool Take(Int32 type, Bool withSettings, NewObject* out);
  // `op` went into the document, which owns it from now on.
  void Placed(const BaseObject* op);

 private:
  static constexpr int kSlots = 4;
  BaseObject* objects_[kSlots] = {};
  BaseContainer* copies_[kSlots] = {};
};

class SMPlugin : public ObjectData {
 public:
  static NodeData* Alloc();

  Bool Init(GeListNode* node) override;
  Bool Message(GeListNode* node, Int32 type, void* data) override;
  Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& t_data, Int32 flags,
                    const BaseContainer* itemdesc) override;
  SplineObject* GetContour(BaseObject* op, BaseDocument* doc, Float lod, BaseThread* bt) override;

  // Writes the default of every parameter that has one.
  void ResetValues(GeListNode* node);

  // The outline of `arrow` as a new closed linear spline; null when the host
  // cannot allocate it.
  SplineObject* GenerateArrow(Arrow arrow);
  // Turns the spline into `plane` and reverses its point order if asked.
  void OrientObject(SplineObject* spline, Int32 plane, Int32 reverse);

  // Presets: the 26 outline and spline values as a big-endian file.
  // Shows the save dialog and writes the file; true when it was written.
  Bool WritePreset(GeListNode* node);
  // Shows the load dialog and applies the picked file (one undo entry for
  // the arrow); true when the values were applied.
  Bool LoadPreset(GeListNode* node, BaseDocument* doc);

  // Scene builders around the arrow. Each records its own undo entries; the
  // caller opens and closes the undo group. The builders that make objects
  // cannot fail: what they need was taken ahead into `parts` (TakeExtrude,
  // TakeCloner), and they mark what they put into the document as placed.
  //
  // The extrusion, with a copy of its container when the caps are written
  // or it is to be aligned later (`align`, the copy then serves AlignExNurbs).
  Bool TakeExtrude(BaseContainer* bc, Bool align, BuildParts& parts, NewObject* out);
  BaseObject* MakeExtrude(BaseDocument* doc, BaseContainer* bc, GeListNode* node, const NewObject& extrude,
                          BuildParts& parts);
  // `settings` is a copy of the extrusion's container taken ahead.
  void AlignExNurbs(GeListNode* node, BaseObject* extrude, BaseContainer* settings);
  void ChangeSWD(GeListNode* node, BaseObject* extrude, BaseDocument* doc);
  BaseObject* GetSplineWrapDeformer(GeListNode* node);
  Bool TakeCloner(BuildParts& parts, NewObject* out);
  BaseObject* MakeCloner(BaseDocument* doc, BaseContainer* bc, BaseObject* path, const NewObject& cloner,
                         BuildParts& parts);

  // Carrying a changed arrow parameter over to a set-up. Each answers false
  // when the container copy it writes through cannot be had; it has then
  // changed, recorded and sent nothing.
  Bool FilletCaps(BaseObject* extrude, Int32 on, BaseDocument* doc);
  Bool SetClonerCount(BaseObject* cloner, Int32 count, BaseDocument* doc);
  Bool SetClonerRate(BaseObject* cloner, Float rate, BaseDocument* doc);
  Bool SetClonerSpline(BaseObject* cloner, BaseObject* spline, BaseDocument* doc);
  // Whether the extrusion's caps are the fillet caps FilletCaps gives.
  static Bool HasFilletCaps(const BaseObject* extrude);

  // The folder in which the preset load dialog starts: the plug-in's presets
  // folder, or the plug-in folder when it has none, looked up the first time
  // it is needed (not for every arrow made); then the folder of the last file
  // picked.
  const Filename& PresetFolder();

 private:
  Filename presetFolder_;
  Bool presetFolderChosen_ = false;
};

#endif
