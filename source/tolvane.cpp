// Registration, defaults and enabling rules of the arrow object.
#include "tolvane.h"

#include "flavour.h"

namespace {

constexpr Int32 kInfoGenerator = 4;
constexpr Int32 kInfoSplineObject = 128;

BaseContainer* DataOf(GeListNode* node) {
  return static_cast<BaseObject*>(node)->GetDataInstance();
}

}  // namespace

Bool RegisterTolvane() {
  String name = GeLoadString(IDS_TOLVANE);
  Int32 answer = 0;
  if (kFlavour.iconHasPixelRatio) {
    AutoBitmap icon(String("tolvane.tif"), 1.0);
    answer = RegisterObjectPlugin(ID_TOLVANE, name, kInfoGenerator | kInfoSplineObject,
                                  &SMPlugin::Alloc, String("Otolvane"), &icon, 0);
  } else {
    AutoBitmap icon(String("tolvane.tif"));
    answer = RegisterObjectPlugin(ID_TOLVANE, name, kInfoGenerator | kInfoSplineObject,
                                  &SMPlugin::Alloc, String("Otolvane"), &icon, 0);
  }
  return kFlavour.registerNeedsExactlyOne ? answer == 1 : answer != 0;
}

NodeData* SMPlugin::Alloc() { return NewObj(SMPlugin); }

Bool SMPlugin::Init(GeListNode* node) {
  ResetValues(node);
  return true;
}

const Filename& SMPlugin::PresetFolder() {
  if (!presetFolderChosen_) {
    const Filename pluginFolder = GeGetPluginPath();
    presetFolder_ = pluginFolder + Filename("presets");
    if (!GeFExist(presetFolder_, true)) presetFolder_ = pluginFolder;
    presetFolderChosen_ = true;
  }
  return presetFolder_;
}

void SMPlugin::ResetValues(GeListNode* node) {
  BaseContainer* bc = DataOf(node);
  bc->SetFloat(ARROW_SHAFT_LENGTH, 400.0);
  bc->SetFloat(ARROW_SHAFT_WIDTH, 100.0);
  bc->SetFloat(ARROW_HEAD_LENGTH, 100.0);
  bc->SetFloat(ARROW_BARB_WIDTH, 50.0);
  bc->SetBool(ARROW_CHEVRON, false);
  bc->SetBool(ARROW_CHEVRON_SQUARE_ENDS, false);
  bc->SetFloat(ARROW_CHEVRON_DEPTH, 50.0);
  bc->SetBool(ARROW_DOUBLE_HEADED, false);
  bc->SetFloat(ARROW_DOUBLE_SHAFT_LENGTH, 400.0);
  bc->SetFloat(ARROW_DOUBLE_SHAFT_WIDTH, 100.0);
  bc->SetFloat(ARROW_TAIL_NOTCH, 0.0);
  bc->SetFloat(ARROW_HEAD_TAPER, 0.0);
  bc->SetFloat(ARROW_TAIL_TAPER, 0.0);
  bc->SetFloat(ARROW_BARB_SWEEP, 0.0);
  bc->SetBool(ARROW_SHAFT, true);
  bc->SetBool(ARROW_FLETCHING, false);
  bc->SetFloat(ARROW_FLETCHING_LENGTH, 100.0);
  bc->SetFloat(ARROW_FLETCHING_HEIGHT, 50.0);
  bc->SetFloat(ARROW_FLETCHING_SWEEP, 50.0);
  bc->SetBool(ARROW_ROUND_CORNERS, false);
  bc->SetFloat(ARROW_CORNER_RADIUS, 10.0);
  bc->SetBool(ARROW_CORNER_OPTION, true);
  bc->SetInt32(ARROW_CLONE_COUNT, 3);
  bc->SetBool(ARROW_CLONE_ALIGN, true);
  bc->SetFloat(ARROW_CLONE_RATE, 0.0);
  bc->SetBool(ARROW_WRAP_MODE, true);
  bc->SetBool(ARROW_WRAP_NATURAL_POINTS, true);
  bc->SetInt32(ARROW_PLANE, 0);
  bc->SetBool(ARROW_REVERSE, false);
  bc->SetInt32(ARROW_POINT_INTERPOLATION, 3);
  bc->SetInt32(ARROW_POINT_COUNT, 8);
  bc->SetFloat(ARROW_POINT_ANGLE, 5.0 * 3.14159265358979323846 / 180.0);
  bc->SetFloat(ARROW_POINT_MAX_LENGTH, 5.0);
  bc->SetString(ARROW_PRESET_NAME, String());
}

Bool SMPlugin::GetDEnabling(GeListNode* node, const DescID& id, const GeData& t_data, Int32 flags,
                            const BaseContainer* itemdesc) {
  const BaseContainer* bc = DataOf(node);
  const Int32 interpolation = bc->GetInt32(ARROW_POINT_INTERPOLATION);
  const Bool shaft = bc->GetBool(ARROW_SHAFT);
  const Bool doubleHeaded = bc->GetBool(ARROW_DOUBLE_HEADED);
  switch (id[0].id) {
    case ARROW_POINT_COUNT:
      return interpolation == 1 || interpolation == 2;
    case ARROW_POINT_ANGLE:
      return interpolation == 3 || interpolation == 4;
    case ARROW_POINT_MAX_LENGTH:
      return interpolation == 4;
    case ARROW_SHAFT_LENGTH:
    case ARROW_SHAFT_WIDTH:
    case ARROW_TAIL_NOTCH:
    case ARROW_HEAD_TAPER:
    case ARROW_TAIL_TAPER:
    case ARROW_FLETCHING:
      return shaft && !doubleHeaded;
    case ARROW_SHAFT:
      return !doubleHeaded;
    case ARROW_FLETCHING_LENGTH:
    case ARROW_FLETCHING_HEIGHT:
    case ARROW_FLETCHING_SWEEP:
      return bc->GetBool(ARROW_FLETCHING) && shaft;
    case ARROW_CHEVRON_SQUARE_ENDS:
    case ARROW_CHEVRON_DEPTH:
      return bc->GetBool(ARROW_CHEVRON);
    case ARROW_DOUBLE_SHAFT_LENGTH:
    case ARROW_DOUBLE_SHAFT_WIDTH:
      return doubleHeaded;
    case ARROW_CORNER_RADIUS:
    case ARROW_CORNER_OPTION:
      return bc->GetBool(ARROW_ROUND_CORNERS);
    case ARROW_CLONE_SPLINE:
    case ARROW_CLONE_ALIGN:
    case ARROW_CLONE_RATE:
      return bc->GetBool(ARROW_CLONE_ON_SPLINE);
    default:
      return ObjectData::GetDEnabling(node, id, t_data, flags, itemdesc);
  }
}
