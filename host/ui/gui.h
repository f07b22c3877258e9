// The host's interface side for modules: registered custom interface
// elements and their libraries, module dialogs with their layout, user areas
// that draw into real RGB rasters, input events, and the host's holder of
// one parameter's open element (ElementHost), which shows it in the
// attribute editor's window.
//
// Window. An element is shown in the attribute editor's window with its top
// left corner at (kElementLeft, kElementTop). Its layout places gadgets in
// groups: a group puts its children in a grid of `cols` columns, each column
// as wide as its widest child and each row as high as its highest, separated
// by the group's spacing. A user area is as large as the larger of its
// initial size and the minimum size its module asks for; its raster has that
// size. Input events carry window coordinates; a user area converts them
// into its own with the host's global-to-local call.
//
// Drawing. A user area is drawn when it asked for a redraw, once the
// current event has been handled (and before its raster is looked at).
// Drawing calls are honoured only while the host is drawing that area: the
// pen takes colours with components 0..1, rectangles are filled including
// both corners and clipped to the area. After the set-up call (offscreen_on)
// the drawing goes to a second raster that replaces the shown one when the
// draw call returns. A new raster is the host's grey (kBackground).
#ifndef HOST_GUI_H
#define HOST_GUI_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "model.h"

namespace host {

constexpr int32_t kElementLeft = 136;
constexpr int32_t kElementTop = 44;
constexpr uint8_t kBackground = 0xC8;

// --- registries --------------------------------------------------------------

struct CustomGuiPlugin {
  int32_t id = 0;
  std::string name;
  int32_t info = 0;
  std::string symbol;
  std::vector<int32_t> types;  // the data types it edits
  ha_customgui_class cls{};    // copied; its functions live in the module
  bool alive = true;
};
const std::deque<CustomGuiPlugin>& CustomGuiPlugins();
const CustomGuiPlugin* FindCustomGuiPlugin(int32_t id);

struct InstalledLibrary {
  int32_t id = 0;
  const void* record = nullptr;  // the module's record
  int32_t version = 0;
  int32_t size = 0;
};
const std::vector<InstalledLibrary>& InstalledLibraries();
const InstalledLibrary* FindLibrary(int32_t id);

// Before the module's end action: closes every open element, hands the
// registration objects of elements and data types back to the module,
// forgets installed libraries. Answers how many custom values the module
// left alive.
long ReleaseModuleExtras();

// --- rasters -----------------------------------------------------------------

using Rgb = std::array<uint8_t, 3>;

struct Raster {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows from the top, 3 bytes a pixel

  void Reset(int w, int h, Rgb fill);
  Rgb At(int x, int y) const;
  void Fill(int x1, int y1, int x2, int y2, Rgb color);  // inclusive, clipped

  // A row of up to 32 pixels in the colour of the last fill, kept from one
  // fill to the next (most fills draw in the colour of the one before):
  // every row of a rectangle that narrow is copied from it.
  static constexpr std::size_t kPatternPixels = 32;
  std::array<uint8_t, kPatternPixels * 3> pattern{};
  Rgb patternColor{};
  bool patternMade = false;
};

// Writes a raster as an 8-bit RGB PNG, replacing `path` only when complete.
bool WritePng(const Raster& raster, const std::string& path, std::string* error);
bool ReadPng(const std::string& path, Raster* raster, std::string* error);

// --- what the element did -------------------------------------------------------

// One call the module made while it laid out its dialog.
struct LayoutCall {
  std::string what;  // "group", "space", "userarea", "attach", "end", "layout"
  std::vector<int32_t> args;
  bool ok = true;
};

// One drawing call during the last draw of an area.
struct DrawCall {
  std::string what;  // "setup", "pen", "rect"
  std::vector<int32_t> args;  // pen: 0..255 each; rect: x1 y1 x2 y2 as given
};

// A message the element sent to the attribute editor.
struct ReportedMessage {
  int32_t id = 0;       // the message's ID
  int32_t sender = 0;   // 'meid'
  bool hasValue = false;
  Value value;          // 'meva'
  bool stored = false;  // whether the element host stored it in the parameter
};

// A user area of an open element, as laid out in the window.
struct FieldInfo {
  int32_t id = 0;
  int32_t flags = 0;
  int32_t attachFlags = 0;
  bool attached = false;
  int32_t x = 0, y = 0;  // window position of its top left pixel
  int32_t width = 0, height = 0;
  int32_t initWidth = 0, initHeight = 0;
  bool hasMinSize = false;
  int32_t minWidth = 0, minHeight = 0;
  long redrawRequests = 0;
  long draws = 0;
};

class Dialog;
class UserArea;

// The host's holder of one parameter's open interface element: one
// parameter of an object shown, as the attribute editor shows it, with the
// custom interface element its data type names.
class ElementHost {
 public:
  ~ElementHost();
  ElementHost(const ElementHost&) = delete;
  ElementHost& operator=(const ElementHost&) = delete;

  // The object whose parameter the element shows; null once that object is
  // gone or no longer in a document (the element then takes no input).
  Object* Target() const;
  int32_t ParamId() const { return paramId_; }
  int32_t ParamType() const { return paramType_; }
  const CustomGuiPlugin* Plugin() const { return plugin_; }

  // Input in window coordinates: a left click goes to the user area under
  // the pointer, a key to the first user area. Answers whether it was used.
  bool Click(int32_t x, int32_t y);
  bool Key(int32_t key);
  // An action of gadget `gadgetId` as the dialog's command; whether it was used.
  bool SendAction(int32_t gadgetId);

  // The element's user areas, in the order they were added.
  std::vector<FieldInfo> Fields() const;
  // A user area's raster, drawn up to date; null for an unknown ID.
  const Raster* FieldRaster(int32_t id);
  // The drawing calls of the area's last draw.
  std::vector<DrawCall> LastDraw(int32_t id) const;
  const std::vector<LayoutCall>& Layout() const { return layout_; }
  const std::vector<ReportedMessage>& Reports() const { return reports_; }
  int32_t LayoutAnswer() const { return layoutAnswer_; }

  // Gives the element a value (the set-value call): `value` null for none.
  // False when the element did not take it, or the host could not make the
  // copy it hands over (memory short).
  bool GiveValue(const Value* value, bool tri);
  // The element's value (the get-value call); false when it answered none.
  bool TakeValue(Value* value, bool* tri);

  // Draws every area that asked for it.
  void Flush();

 private:
  friend class Dialog;
  friend ElementHost* OpenElement(Object* op, int32_t paramId, std::string* error);
  friend int32_t DialogSendParent(ha_dialog, ha_container);
  ElementHost(Object* op, int32_t paramId, int32_t paramType);
  bool Start(std::string* error);
  UserArea* AreaAt(int32_t x, int32_t y) const;
  int32_t OnReport(const Container& msg);

  uint64_t target_;
  int32_t paramId_;
  int32_t paramType_;
  const CustomGuiPlugin* plugin_ = nullptr;
  const ha_customgui_lib* lib_ = nullptr;
  Dialog* dialog_ = nullptr;
  void* instance_ = nullptr;
  int32_t layoutAnswer_ = 0;
  std::vector<LayoutCall> layout_;
  std::vector<ReportedMessage> reports_;
};

// Opens the element of a parameter: the object's user data parameter
// `paramId` of a custom data type, whose default description settings name
// the element. The host owns the element host; null (with the reason) when the
// parameter has no element or the element could not be made and laid out.
ElementHost* OpenElement(Object* op, int32_t paramId, std::string* error);
void CloseElement(ElementHost* elementHost);
bool IsOpenElement(const ElementHost* elementHost);
std::vector<ElementHost*> OpenElements();
// Closes the elements open on objects of `doc` (or on objects gone).
void CloseElementHostsOf(Document* doc);
// After an undo or redo of `doc`: closes every element whose object left the
// document (or is gone), and gives the others on `doc` their parameter's
// value again; an element that cannot take it is closed too, rather than
// show, and extend, a value the parameter no longer holds.
void FollowUndo(Document* doc);

}  // namespace host

#endif
