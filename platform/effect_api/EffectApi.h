// The host's effect plug-in interface, as a plug-in sees it.
//
// This is the whole contract between the host program and an effect library:
// the command codes of `main`, the in-data and out-data blocks, parameter
// definitions, worlds (layers) with 32-bit alpha-red-green-blue pixels, the
// utility and interaction callbacks and the custom-UI events. The names are the
// host's published ones; the layouts are this host's own (x86-64, natural
// alignment). Nothing here may change without rebuilding every plug-in.
//
// Ownership: everything reached through these blocks belongs to the host. A
// plug-in keeps data across calls only in handles it gets from the host
// (global and sequence data), locked for the length of a call.
#pragma once

#include <cstdint>

extern "C" {

typedef int32_t PF_Err;
typedef int32_t PF_Fixed;  // 16.16 fixed point
typedef int32_t PF_Boolean;
typedef uint8_t PF_Bool8;
typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;

// A handle is a pointer to a master pointer: after locking it, `*handle` is the
// block's address. Only the host's handle callbacks create, lock, unlock and
// free handles.
typedef void** PF_Handle;
typedef struct PF_ProgPtr_* PF_ProgPtr;  // the host's effect reference for a call
typedef void* PF_ContextH;                // a drawing context named in an event
typedef uint32_t PF_Version;

enum : PF_Err {
  PF_Err_NONE = 0,
  PF_Err_OUT_OF_MEMORY = 4,
  PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
  PF_Err_INVALID_INDEX = 513,
  PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
  PF_Err_INVALID_CALLBACK = 515,
  PF_Err_BAD_CALLBACK_PARAM = 516,
  PF_Interrupt_CANCEL = 517,
};

// Commands of `main`. 2, 13 and 14 exist in the host but carry nothing for us.
typedef int32_t PF_Cmd;
enum : PF_Cmd {
  PF_Cmd_ABOUT = 0,
  PF_Cmd_GLOBAL_SETUP = 1,
  PF_Cmd_UNUSED_0 = 2,
  PF_Cmd_GLOBAL_SETDOWN = 3,
  PF_Cmd_PARAMS_SETUP = 4,
  PF_Cmd_SEQUENCE_SETUP = 5,
  PF_Cmd_SEQUENCE_RESETUP = 6,
  PF_Cmd_SEQUENCE_FLATTEN = 7,
  PF_Cmd_SEQUENCE_SETDOWN = 8,
  PF_Cmd_DO_DIALOG = 9,
  PF_Cmd_FRAME_SETUP = 10,
  PF_Cmd_RENDER = 11,
  PF_Cmd_FRAME_SETDOWN = 12,
  PF_Cmd_USER_CHANGED_PARAM = 13,
  PF_Cmd_UPDATE_PARAMS_UI = 14,
  PF_Cmd_EVENT = 15,
  PF_Cmd_NUM_CMDS = 16,
};

// Out flags (PF_OutData::out_flags).
enum : int32_t {
  PF_OutFlag_NONE = 0,
  PF_OutFlag_KEEP_RESOURCE_OPEN = 1 << 0,
  PF_OutFlag_DISPLAY_ERROR_MESSAGE = 1 << 8,
  PF_OutFlag_CUSTOM_UI = 1 << 15,
  PF_OutFlag_NOP_RENDER = 1 << 18,
};

// Parameter types (PF_ParamDef::param_type).
typedef int32_t PF_ParamType;
enum : PF_ParamType {
  PF_Param_LAYER = 0,
  PF_Param_SLIDER = 1,
  PF_Param_FIX_SLIDER = 2,
  PF_Param_ANGLE = 3,
  PF_Param_CHECKBOX = 4,
  PF_Param_COLOR = 5,
  PF_Param_POINT = 6,
  PF_Param_POPUP = 7,
  PF_Param_CUSTOM = 8,
  PF_Param_NO_DATA = 9,  // a control with no value: the custom-control type of our tables
};

// Parameter flags (PF_ParamDef::flags).
enum : int32_t {
  PF_ParamFlag_RESERVED1 = 1 << 0,
  PF_ParamFlag_CANNOT_TIME_VARY = 1 << 1,
  PF_ParamFlag_CANNOT_INTERP = 1 << 2,
  PF_ParamFlag_START_COLLAPSED = 1 << 5,
};

// UI flags (PF_ParamDef::ui_flags).
enum : int32_t {
  PF_PUI_TOPIC = 1 << 0,
  PF_PUI_CONTROL = 1 << 1,  // the parameter owns a drawing area in the effect-controls window
};

// Change flags (PF_ParamDef::uu.change_flags): set by a plug-in that wrote a
// new value into the parameter array so the host records the edit.
enum : int32_t {
  PF_ChangeFlag_NONE = 0,
  PF_ChangeFlag_CHANGED_VALUE = 1 << 0,
};

typedef struct {
  int32_t left, top, right, bottom;
} PF_LRect;

typedef struct {
  int16_t top, left, bottom, right;
} PF_Rect;

typedef PF_LRect PF_UnionableRect;

typedef struct {
  int16_t v, h;
} PF_Point;

typedef struct {
  int32_t num;
  uint32_t den;
} PF_RationalScale;

// One pixel of a world, in memory order alpha, red, green, blue.
typedef struct {
  uint8_t alpha, red, green, blue;
} PF_Pixel;
typedef PF_Pixel PF_Pixel8;
typedef PF_Pixel PF_UnionablePixel;

// A world: a layer or the output frame. `data` is null when a layer parameter
// names no layer. Pixels are premultiplied ARGB, rows `rowbytes` apart.
typedef struct PF_LayerDef {
  void* reserved0;
  void* reserved1;
  int32_t world_flags;
  PF_Pixel* data;
  int32_t rowbytes;  // bytes from one row to the next, >= width * 4
  int32_t width;
  int32_t height;
  PF_UnionableRect extent_hint;
  void* platform_ref;
  int32_t reserved_long1;
  void* reserved_long4;
  PF_RationalScale pix_aspect_ratio;
  void* reserved_long2;
  int32_t origin_x;
  int32_t origin_y;
  int32_t reserved_long3;
  int32_t dephault;  // layer parameters: the default layer, 0 = none
} PF_LayerDef;
typedef PF_LayerDef PF_EffectWorld;
typedef PF_LayerDef* PF_World;

// ---- parameter definitions ------------------------------------------------

enum { PF_MAX_EFFECT_PARAM_NAME_LEN = 31 };

typedef struct {
  PF_Fixed value;
  char value_str[32];
  char value_desc[32];
  PF_Fixed valid_min, valid_max;
  PF_Fixed slider_min, slider_max;
  PF_Fixed dephault;
  int16_t precision;     // decimal places shown
  int16_t display_flags; // 0: a plain number
} PF_FixedSliderDef;

typedef struct {
  PF_Fixed value;  // degrees, 16.16
  PF_Fixed dephault;
  int32_t valid_min, valid_max;
} PF_AngleDef;

typedef struct {
  int32_t value;  // 0 or 1
  int32_t reserved;
  PF_Bool8 dephault;
  uint8_t reserved1;
  int16_t reserved2;
  const char* name;  // the label shown beside the box; the host copies it in add_param
} PF_CheckBoxDef;

typedef struct {
  PF_UnionablePixel value;
  PF_UnionablePixel dephault;
} PF_ColorDef;

typedef struct {
  int32_t value;  // 1-based choice number
  int16_t num_choices;
  int16_t dephault;
  const char* names;  // items separated by '|'; the host copies them in add_param
} PF_PopupDef;

typedef struct {
  int32_t value;
  int32_t reserved;
} PF_ArbitraryDef;

typedef union {
  PF_LayerDef ld;
  PF_FixedSliderDef fd;
  PF_AngleDef ad;
  PF_CheckBoxDef bd;
  PF_ColorDef cd;
  PF_PopupDef pd;
  PF_ArbitraryDef arb_d;
} PF_ParamDefUnion;

typedef struct PF_ParamDef {
  union {
    int32_t id;
    int32_t change_flags;
  } uu;
  int32_t ui_flags;
  int16_t ui_width;
  int16_t ui_height;
  PF_ParamType param_type;
  char name[32];
  int32_t flags;
  int32_t unused;
  PF_ParamDefUnion u;
} PF_ParamDef;
typedef PF_ParamDef* PF_ParamDefPtr;
typedef PF_ParamDef** PF_ParamList;

// Custom-UI registration record: eleven 32-bit words. `events` selects the
// windows whose events the plug-in receives.
enum : int32_t {
  PF_CustomEFlag_NONE = 0,
  PF_CustomEFlag_COMP = 1 << 0,
  PF_CustomEFlag_LAYER = 1 << 1,
  PF_CustomEFlag_EFFECT = 1 << 2,  // the effect-controls window
  PF_CustomEFlag_PREVIEW = 1 << 3,
};
typedef struct {
  int32_t reserved;
  int32_t events;
  int32_t comp_ui_width, comp_ui_height, comp_ui_alignment;
  int32_t layer_ui_width, layer_ui_height, layer_ui_alignment;
  int32_t preview_ui_width, preview_ui_height, preview_ui_alignment;
} PF_CustomUIInfo;

// ---- callbacks ------------------------------------------------------------

// Selectors of get_platform_data.
enum : int32_t {
  PF_PlatData_MAIN_WND = 0,  // the host's main window (an os::WindowRef)
};
// Selectors of get_context_data (the drawing reference of an event's context).
enum : int32_t {
  PF_ContextData_DRAWING_REF = 0,  // an os::Canvas* to draw into for this event
};

typedef struct PF_UtilCallbacks {
  // Copies src_r of src onto dst_r of dst; rectangles are top, left, bottom,
  // right. A destination rectangle of another size scales the source.
  PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                 PF_Rect* dst_r);
  // Handles: new (contents undefined), size, lock (returns nothing: the caller
  // dereferences), unlock, dispose. Null or freed handles are refused.
  PF_Handle (*host_new_handle)(uint64_t size);
  uint64_t (*host_get_handle_size)(PF_Handle h);
  void (*host_lock_handle)(PF_Handle h);
  void (*host_unlock_handle)(PF_Handle h);
  void (*host_dispose_handle)(PF_Handle h);
  PF_Err (*host_resize_handle)(uint64_t new_size, PF_Handle* h);
  PF_Err (*get_platform_data)(PF_ProgPtr effect_ref, int32_t which, void* data);
  PF_Err (*get_context_data)(PF_ProgPtr effect_ref, PF_ContextH context, int32_t which,
                             void* data);
} PF_UtilCallbacks;

typedef struct PF_InteractCallbacks {
  PF_Err (*checkout_param)(PF_ProgPtr effect_ref, int32_t index, int32_t what_time,
                           int32_t time_step, uint32_t time_scale, PF_ParamDef* param);
  PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
  PF_Err (*add_param)(PF_ProgPtr effect_ref, int32_t index, PF_ParamDefPtr def);
  PF_Err (*register_ui)(PF_ProgPtr effect_ref, PF_CustomUIInfo* cust_info);
} PF_InteractCallbacks;

// ---- the command blocks ---------------------------------------------------

typedef struct PF_InData {
  PF_InteractCallbacks inter;
  PF_UtilCallbacks* utils;
  PF_ProgPtr effect_ref;
  int32_t quality;
  PF_Version version;  // the interface version the host speaks
  int32_t serial_num;
  int32_t appl_id;
  int32_t num_params;
  int32_t reserved;
  int32_t what_cpu;
  int32_t what_fpu;
  int32_t current_time;  // in units of 1/time_scale seconds
  int32_t time_step;
  int32_t total_time;
  int32_t local_time_step;
  uint32_t time_scale;
  int32_t field;
  PF_Fixed shutter_angle;
  int32_t width;
  int32_t height;
  PF_Rect extent_hint;
  int32_t output_origin_x;
  int32_t output_origin_y;
  PF_RationalScale downsample_x;
  PF_RationalScale downsample_y;
  PF_RationalScale pixel_aspect_ratio;
  int32_t in_flags;
  PF_Handle global_data;
  PF_Handle sequence_data;
  PF_Handle frame_data;
  int32_t start_sampL;
  int32_t dur_sampL;
  int32_t total_sampL;
} PF_InData;

typedef struct PF_OutData {
  uint32_t my_version;
  char name[32];
  PF_Handle global_data;
  int32_t num_params;
  PF_Handle sequence_data;
  int32_t flat_sdata_size;
  PF_Handle frame_data;
  int32_t width;
  int32_t height;
  PF_Point origin;
  int32_t out_flags;
  char return_msg[256];  // shown when PF_OutFlag_DISPLAY_ERROR_MESSAGE is set
  int32_t start_sampL;
  int32_t dur_sampL;
  int32_t out_flags2;
} PF_OutData;

// ---- custom-UI events -----------------------------------------------------

typedef int32_t PF_EventType;
enum : PF_EventType {
  PF_Event_NEW_CONTEXT = 0,
  PF_Event_ACTIVATE = 1,
  PF_Event_DO_CLICK = 2,
  PF_Event_DRAG = 3,
  PF_Event_DRAW = 4,
  PF_Event_DEACTIVATE = 5,
  PF_Event_CLOSE_CONTEXT = 6,
  PF_Event_IDLE = 7,
  PF_Event_ADJUST_CURSOR = 8,
  PF_Event_NUM_EVENTS = 9,
};

enum : int32_t {
  PF_Mod_NONE = 0,
  PF_Mod_CMD_CTRL_KEY = 1 << 8,
  PF_Mod_SHIFT_KEY = 1 << 9,
  PF_Mod_CAPS_LOCK_KEY = 1 << 10,
  PF_Mod_OPT_ALT_KEY = 1 << 11,
};

typedef struct {
  uint32_t when;
  PF_Point screen_point;  // window coordinates of the mouse
  int32_t num_clicks;
  int32_t modifiers;
  int32_t continue_refcon[4];  // kept by the host from one drag event to the next
  PF_Boolean send_drag;        // the plug-in asks for drag events to follow
  PF_Boolean last_time;        // set on the drag event that ends the drag
} PF_DoClickEventInfo;

typedef struct {
  PF_Rect update_rect;
  int32_t depth;
} PF_DrawEventInfo;

typedef struct {
  PF_Point screen_point;
  int32_t modifiers;
} PF_AdjustCursorEventInfo;

typedef union {
  PF_DoClickEventInfo do_click;
  PF_DrawEventInfo draw;
  PF_AdjustCursorEventInfo adjust_cursor;
} PF_EventUnion;

// Where the event happened: which parameter's control, and its frames in
// window coordinates.
enum : int32_t {
  PF_EA_NONE = 0,
  PF_EA_PARAM_TITLE = 1,
  PF_EA_CONTROL = 2,
};

typedef struct {
  int32_t index;  // parameter index of the control
  int32_t area;   // PF_EA_NONE, PF_EA_PARAM_TITLE or PF_EA_CONTROL
  PF_UnionableRect current_frame;
  PF_UnionableRect param_title_frame;
  int32_t horiz_offset;
} PF_EffectWindowInfo;

typedef enum {
  PF_Window_NONE = -1,
  PF_Window_COMP = 0,
  PF_Window_LAYER = 1,
  PF_Window_EFFECT = 2,
} PF_WindowType;

typedef struct {
  int32_t magic;
  PF_WindowType w_type;
  void* reserved_flat;
  void* platform_ref;
} PF_ContextRecord;

enum : int32_t {
  PF_EO_NONE = 0,
  PF_EO_HANDLED_EVENT = 1,
};

typedef struct PF_EventExtra {
  PF_ContextH contextH;
  PF_EventType e_type;
  PF_EventUnion u;
  PF_EffectWindowInfo effect_win;
  void* cbs;
  int32_t evt_in_flags;
  int32_t evt_out_flags;  // PF_EO_HANDLED_EVENT when the plug-in consumed the event
} PF_EventExtra;

// The entry point every effect library exports under the name "main".
typedef PF_Err (*PF_EffectMain)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                PF_ParamList params, PF_LayerDef* output, void* extra);

}  // extern "C"
