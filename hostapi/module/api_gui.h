// Dialogs, user areas and custom interface elements as the module sees
// them. Each call forwards through the function table; the dialogs and user
// areas themselves live in the host, the module objects here only hold their
// handles.
#ifndef TOLVANE_API_GUI_H
#define TOLVANE_API_GUI_H

#include "api.h"
#include "api_customdata.h"

// A dialog of the host (an element instance's dialog); `this` is the handle.
class CDialog {
 public:
  ha_dialog Handle() const { return reinterpret_cast<ha_dialog>(const_cast<CDialog*>(this)); }
  static CDialog* FromHandle(ha_dialog h) { return reinterpret_cast<CDialog*>(h); }
  CDialog() = delete;
};

// A registered plug-in record of the host; `this` is the handle.
class BasePlugin {
 public:
  ha_plugin Handle() const { return reinterpret_cast<ha_plugin>(const_cast<BasePlugin*>(this)); }
  static BasePlugin* FromHandle(ha_plugin h) { return reinterpret_cast<BasePlugin*>(h); }
  BasePlugin() = delete;
};
using CUSTOMGUIPLUGIN = BasePlugin;

constexpr Int32 PLUGINTYPE_CUSTOMGUI = HA_PLUGINTYPE_CUSTOMGUI;
// A registered plug-in of `type`, or null.
BasePlugin* FindPlugin(Int32 id, Int32 type);

// Message IDs and keys.
constexpr Int32 BFM_ACTION = HA_BFM_ACTION;
constexpr Int32 BFM_ACTION_ID = HA_BFM_ACTION_ID;
constexpr Int32 BFM_ACTION_VALUE = HA_BFM_ACTION_VALUE;
constexpr Int32 BFM_INPUT_DEVICE = HA_BFM_INPUT_DEVICE;
constexpr Int32 BFM_INPUT_MOUSE = HA_BFM_INPUT_MOUSE;
constexpr Int32 BFM_INPUT_KEYBOARD = HA_BFM_INPUT_KEYBOARD;
constexpr Int32 BFM_INPUT_X = HA_BFM_INPUT_X;
constexpr Int32 BFM_INPUT_Y = HA_BFM_INPUT_Y;

class GeUserArea;

// A dialog: the module object behind a host dialog.
class GeDialog {
 public:
  GeDialog() = default;
  virtual ~GeDialog();  // frees the host dialog
  GeDialog(const GeDialog&) = delete;
  GeDialog& operator=(const GeDialog&) = delete;

  virtual Bool CreateLayout();  // the host's own layout step
  virtual Bool InitValues();    // true
  virtual Bool Command(Int32 id, const BaseContainer& msg);  // the host's default: false

  Bool GroupBegin(Int32 id, Int32 flags, Int32 cols, Int32 rows, const String& title,
                  Int32 groupflags, Int32 initw = 0, Int32 inith = 0);
  Bool GroupSpace(Int32 spacex, Int32 spacey);
  Bool GroupEnd();
  Bool AddUserArea(Int32 id, Int32 flags, Int32 initw = 0, Int32 inith = 0);
  Bool AttachUserArea(GeUserArea& ua, Int32 id, Int32 userareaflags);
  Bool SendParentMessage(const BaseContainer& msg);
  Int32 GetId() const;

  // The host dialog; null when the host made none.
  CDialog* Get() const { return dlg_ != nullptr ? CDialog::FromHandle(dlg_) : nullptr; }

 protected:
  void SetHandle(ha_dialog dlg) { dlg_ = dlg; }

 private:
  ha_dialog dlg_ = nullptr;
};

class SubDialog : public GeDialog {};

// One instance of a custom interface element: a sub-dialog of the attribute
// editor that shows and edits one parameter value.
class iCustomGui : public SubDialog {
 public:
  // Asks the host for the instance's dialog (see Get()).
  iCustomGui(const BaseContainer& settings, CUSTOMGUIPLUGIN* plugin);
  virtual Bool SetData(const TriState<GeData>& tristate);  // true
  virtual TriState<GeData> GetData();                      // no value
};

// A field the module draws itself, attached to a user area of a dialog.
class GeUserArea {
 public:
  GeUserArea() = default;
  virtual ~GeUserArea();  // detaches from the host
  GeUserArea(const GeUserArea&) = delete;
  GeUserArea& operator=(const GeUserArea&) = delete;

  virtual Bool Init();        // true
  virtual Bool InitValues();  // true
  virtual Bool GetMinSize(Int32& w, Int32& h);  // false: no wish
  virtual void DrawMsg(Int32 x1, Int32 y1, Int32 x2, Int32 y2, const BaseContainer& msg);
  virtual Bool InputEvent(const BaseContainer& msg);  // false

  Int32 GetId() const;
  void Redraw();
  Bool SendParentMessage(const BaseContainer& msg);
  // Window coordinates into the field's own.
  Bool Global2Local(Int32* x, Int32* y) const;
  // Drawing; only inside DrawMsg.
  void OffScreenOn();
  void DrawSetPen(const Vector& color);
  void DrawRectangle(Int32 x1, Int32 y1, Int32 x2, Int32 y2);

 private:
  friend class GeDialog;
  ha_userarea ua_ = nullptr;
};

// An element's own settings description (none here).
class CustomProperty;

// The registration object of a custom interface element. The host owns it
// from its registration on and destroys it at shutdown.
class CustomGuiData {
 public:
  virtual ~CustomGuiData() = default;
  virtual Int32 GetId() = 0;
  // A new instance for `settings`; its dialog, or null.
  virtual CDialog* Alloc(const BaseContainer& settings) = 0;
  // Destroys the instance `userdata` (an iCustomGui*) of dialog `dlg`.
  virtual void Free(CDialog* dlg, void* userdata) = 0;
  virtual const Char* GetResourceSym() = 0;
  virtual CustomProperty* GetProperties() = 0;
  // Points `table` at the data types the element edits; their number.
  virtual Int32 GetResourceDataType(Int32*& table) = 0;
};

// Registers an element under dat->GetId(); the host owns `dat` from this
// call on, registered or not. False when `dat` is null or the host refuses.
Bool RegisterCustomGuiPlugin(const String& name, Int32 info, CustomGuiData* dat);

// The library record an element installs under its ID: the standard entry
// points through which the host reaches an instance, padded to the size the
// host expects.
struct CustomGuiLib {
  ha_customgui_lib entries;
  unsigned char reserved[HA_CUSTOMGUI_LIB_SIZE - sizeof(ha_customgui_lib)];
};
static_assert(sizeof(CustomGuiLib) == HA_CUSTOMGUI_LIB_SIZE, "library record size");

// Fills the standard entry points of an element's library record.
void FillBaseCustomGui(CustomGuiLib& lib);
// Installs a library record that lives as long as the module is loaded.
Bool InstallLibrary(Int32 id, const CustomGuiLib* lib, Int32 version, Int32 size);

#endif
