// The arrow generator object.
#ifndef TOLVANE_H
#define TOLVANE_H

#include "api.h"
#include "outline.h"

constexpr Int32 ID_TOLVANE = 1025060;
constexpr Int32 IDS_TOLVANE = 10000;       // object name
constexpr Int32 IDS_TOLVANE_INFO = 10001;  // information box text

Bool PluginStart();
Bool PluginMessage(Int32 id, void* data);
void PluginEnd();
Bool RegisterTolvane();

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
  // caller opens and closes the undo group.
  BaseObject* MakeExtrude(BaseDocument* doc, BaseContainer* bc, GeListNode* node);
  void FilletCaps(BaseObject* extrude, Int32 on, BaseDocument* doc);
  void AlignExNurbs(GeListNode* node, BaseObject* extrude);
  void ChangeSWD(GeListNode* node, BaseObject* extrude, BaseDocument* doc);
  BaseObject* GetSplineWrapDeformer(GeListNode* node);
  BaseObject* MakeCloner(BaseDocument* doc, BaseContainer* bc, BaseObject* path);
  void SetClonerCount(BaseObject* cloner, Int32 count, BaseDocument* doc);
  void SetClonerRate(BaseObject* cloner, Float rate, BaseDocument* doc);
  void SetClonerSpline(BaseObject* cloner, BaseObject* spline, BaseDocument* doc);

  // The folder in which the preset load dialog starts.
  const Filename& PresetFolder() const { return presetFolder_; }

 private:
  Filename presetFolder_;
};

#endif
