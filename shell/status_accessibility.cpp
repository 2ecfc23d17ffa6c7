// The COM headers' C binding, for this file alone: the interface is a table
// of functions, filled like the calibration host, and no class with virtual
// operations enters the program. Lean, because the common dialogs' header
// does not compile with constant tables in C++.
#define CINTERFACE
#define COBJMACROS
#define CONST_VTABLE
#define WIN32_LEAN_AND_MEAN
#include "status_accessibility.h"

#include "calibration_state.h"
#include "display_readings.h"
#include "main_window.h"
#include "system_library.h"

#include <oleacc.h>

namespace {

typedef HRESULT(WINAPI* CreateStdAccessibleObjectFunction)(HWND window, LONG objectId, REFIID interfaceId,
                                                           void** object);
typedef LRESULT(WINAPI* LresultFromObjectFunction)(REFIID interfaceId, WPARAM flags, LPUNKNOWN object);
typedef BSTR(WINAPI* SysAllocStringFunction)(OLECHAR const* text);
typedef HRESULT(WINAPI* CoInitializeExFunction)(void* reserved, DWORD model);
typedef void(WINAPI* CoUninitializeFunction)();

// oleacc is not a KnownDLL, so it is not imported: it is loaded from System32
// when a screen reader first asks, never at start. A text handed to a client
// must come from SysAllocString, which oleaut32 has.
CreateStdAccessibleObjectFunction g_createStdAccessibleObject;
LresultFromObjectFunction g_lresultFromObject;
SysAllocStringFunction g_sysAllocString;
// The object reaches another process only from a thread that has joined a
// COM apartment, and nothing else in the program joins one.
CoInitializeExFunction g_coInitializeEx;
CoUninitializeFunction g_coUninitialize;
bool g_accessibilityLookedFor;
bool g_accessibilityFound;
bool g_apartmentJoined;

HeadlineText g_announcedHeadline;
char g_announcedStatus[sizeof g_calibration.statusText];

// The system's own client object does the rest: role, state, place, focus.
struct StatusAccessible {
    IAccessible face;  // first, so that the interface is the object's address
    LONG references;
    IAccessible* standard;
};

StatusAccessible* Object(IAccessible* self) { return reinterpret_cast<StatusAccessible*>(self); }
IAccessible* Standard(IAccessible* self) { return Object(self)->standard; }

// Once: a system without them does not get them later, and each look loads
// the libraries again.
bool FindAccessibilityFunctions() {
    if (!g_accessibilityLookedFor) {
        g_accessibilityLookedFor = true;
        g_createStdAccessibleObject = AsFunction<CreateStdAccessibleObjectFunction>(
            FindSystemFunction("oleacc.dll", "CreateStdAccessibleObject"));
        g_lresultFromObject =
            AsFunction<LresultFromObjectFunction>(FindSystemFunction("oleacc.dll", "LresultFromObject"));
        g_sysAllocString = AsFunction<SysAllocStringFunction>(FindSystemFunction("oleaut32.dll", "SysAllocString"));
        g_coInitializeEx = AsFunction<CoInitializeExFunction>(FindSystemFunction("ole32.dll", "CoInitializeEx"));
        g_coUninitialize = AsFunction<CoUninitializeFunction>(FindSystemFunction("ole32.dll", "CoUninitialize"));
        g_accessibilityFound = g_createStdAccessibleObject && g_lresultFromObject && g_sysAllocString &&
                               g_coInitializeEx && g_coUninitialize;
    }
    return g_accessibilityFound;
}

// Once, on the UI thread: its apartment's calls arrive through the message
// loop, so every request is answered on this thread, between two ticks.
void JoinApartment() {
    if (!g_apartmentJoined) g_apartmentJoined = SUCCEEDED(g_coInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

// A client that leaves the child out means the object itself.
bool IsSelf(VARIANT const& child) {
    return (child.vt == VT_I4 && child.lVal == CHILDID_SELF) || child.vt == VT_EMPTY ||
           (child.vt == VT_ERROR && child.scode == DISP_E_PARAMNOTFOUND);
}

// A drawn text on one line: each line feed becomes ", ", and one that would
// open the text, as the status block's empty first line does, is left out.
HRESULT SpokenText(char const* drawn, BSTR* spoken) {
    if (!spoken) return E_POINTER;
    *spoken = nullptr;
    if (!drawn[0]) return S_FALSE;
    char line[2 * sizeof g_calibration.statusText];
    size_t length = 0;
    for (char const* c = drawn; *c && length + 2 < sizeof line; ++c) {
        if (*c != '\n') {
            line[length++] = *c;
        } else if (length > 0) {
            line[length++] = ',';
            line[length++] = ' ';
        }
    }
    line[length] = '\0';
    WCHAR wide[sizeof line];
    if (!MultiByteToWideChar(CP_ACP, 0, line, -1, wide, ARRAYSIZE(wide))) return E_FAIL;
    *spoken = g_sysAllocString(wide);
    return *spoken ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE QueryInterface(IAccessible* self, REFIID id, void** found) {
    if (!found) return E_POINTER;
    *found = nullptr;
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDispatch) || IsEqualIID(id, IID_IAccessible)) {
        *found = self;
        IAccessible_AddRef(self);
        return S_OK;
    }
    // The standard object's children and its window belong to it.
    if (IsEqualIID(id, IID_IEnumVARIANT) || IsEqualIID(id, IID_IOleWindow)) {
        return IAccessible_QueryInterface(Standard(self), id, found);
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE AddRef(IAccessible* self) {
    return static_cast<ULONG>(InterlockedIncrement(&Object(self)->references));
}

ULONG STDMETHODCALLTYPE Release(IAccessible* self) {
    LONG left = InterlockedDecrement(&Object(self)->references);
    if (left == 0) {
        IAccessible_Release(Standard(self));
        HeapFree(GetProcessHeap(), 0, Object(self));
    }
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE GetTypeInfoCount(IAccessible* self, UINT* count) {
    return IAccessible_GetTypeInfoCount(Standard(self), count);
}

HRESULT STDMETHODCALLTYPE GetTypeInfo(IAccessible* self, UINT index, LCID locale, ITypeInfo** info) {
    return IAccessible_GetTypeInfo(Standard(self), index, locale, info);
}

HRESULT STDMETHODCALLTYPE GetIDsOfNames(IAccessible* self, REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                        DISPID* members) {
    return IAccessible_GetIDsOfNames(Standard(self), id, names, count, locale, members);
}

// Through the standard object's type description, but on this object, so
// that a client calling by number hears the same texts as one calling directly.
HRESULT STDMETHODCALLTYPE Invoke(IAccessible* self, DISPID member, REFIID id, LCID locale, WORD flags,
                                 DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                 UINT* badArgument) {
    if (!IsEqualIID(id, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    HRESULT outcome = IAccessible_GetTypeInfo(Standard(self), 0, locale, &info);
    if (FAILED(outcome)) return outcome;
    outcome = ITypeInfo_Invoke(info, self, member, flags, parameters, result, exception, badArgument);
    ITypeInfo_Release(info);
    return outcome;
}

HRESULT STDMETHODCALLTYPE GetParent(IAccessible* self, IDispatch** parent) {
    return IAccessible_get_accParent(Standard(self), parent);
}

HRESULT STDMETHODCALLTYPE GetChildCount(IAccessible* self, LONG* count) {
    return IAccessible_get_accChildCount(Standard(self), count);
}

HRESULT STDMETHODCALLTYPE GetChild(IAccessible* self, VARIANT child, IDispatch** found) {
    return IAccessible_get_accChild(Standard(self), child, found);
}

HRESULT STDMETHODCALLTYPE GetName(IAccessible* self, VARIANT child, BSTR* name) {
    if (!IsSelf(child)) return IAccessible_get_accName(Standard(self), child, name);
    return SpokenText(FormatHeadline().text, name);
}

HRESULT STDMETHODCALLTYPE GetValue(IAccessible* self, VARIANT child, BSTR* value) {
    if (!IsSelf(child)) return IAccessible_get_accValue(Standard(self), child, value);
    return SpokenText(g_calibration.statusText, value);
}

// Not the value again: a description says what the name and value do not.
HRESULT STDMETHODCALLTYPE GetDescription(IAccessible* self, VARIANT child, BSTR* description) {
    return IAccessible_get_accDescription(Standard(self), child, description);
}

HRESULT STDMETHODCALLTYPE GetRole(IAccessible* self, VARIANT child, VARIANT* role) {
    return IAccessible_get_accRole(Standard(self), child, role);
}

HRESULT STDMETHODCALLTYPE GetState(IAccessible* self, VARIANT child, VARIANT* state) {
    return IAccessible_get_accState(Standard(self), child, state);
}

HRESULT STDMETHODCALLTYPE GetHelp(IAccessible* self, VARIANT child, BSTR* help) {
    return IAccessible_get_accHelp(Standard(self), child, help);
}

HRESULT STDMETHODCALLTYPE GetHelpTopic(IAccessible* self, BSTR* file, VARIANT child, LONG* topic) {
    return IAccessible_get_accHelpTopic(Standard(self), file, child, topic);
}

HRESULT STDMETHODCALLTYPE GetKeyboardShortcut(IAccessible* self, VARIANT child, BSTR* shortcut) {
    return IAccessible_get_accKeyboardShortcut(Standard(self), child, shortcut);
}

HRESULT STDMETHODCALLTYPE GetFocus(IAccessible* self, VARIANT* focus) {
    return IAccessible_get_accFocus(Standard(self), focus);
}

HRESULT STDMETHODCALLTYPE GetSelection(IAccessible* self, VARIANT* selection) {
    return IAccessible_get_accSelection(Standard(self), selection);
}

HRESULT STDMETHODCALLTYPE GetDefaultAction(IAccessible* self, VARIANT child, BSTR* action) {
    return IAccessible_get_accDefaultAction(Standard(self), child, action);
}

HRESULT STDMETHODCALLTYPE Select(IAccessible* self, LONG how, VARIANT child) {
    return IAccessible_accSelect(Standard(self), how, child);
}

HRESULT STDMETHODCALLTYPE Location(IAccessible* self, LONG* left, LONG* top, LONG* width, LONG* height,
                                   VARIANT child) {
    return IAccessible_accLocation(Standard(self), left, top, width, height, child);
}

HRESULT STDMETHODCALLTYPE Navigate(IAccessible* self, LONG direction, VARIANT start, VARIANT* end) {
    return IAccessible_accNavigate(Standard(self), direction, start, end);
}

HRESULT STDMETHODCALLTYPE HitTest(IAccessible* self, LONG x, LONG y, VARIANT* child) {
    return IAccessible_accHitTest(Standard(self), x, y, child);
}

HRESULT STDMETHODCALLTYPE DoDefaultAction(IAccessible* self, VARIANT child) {
    return IAccessible_accDoDefaultAction(Standard(self), child);
}

HRESULT STDMETHODCALLTYPE SetName(IAccessible* self, VARIANT child, BSTR name) {
    return IAccessible_put_accName(Standard(self), child, name);
}

HRESULT STDMETHODCALLTYPE SetValue(IAccessible* self, VARIANT child, BSTR value) {
    return IAccessible_put_accValue(Standard(self), child, value);
}

IAccessibleVtbl const g_statusAccessibleTable = {
    QueryInterface,
    AddRef,
    Release,
    GetTypeInfoCount,
    GetTypeInfo,
    GetIDsOfNames,
    Invoke,
    GetParent,
    GetChildCount,
    GetChild,
    GetName,
    GetValue,
    GetDescription,
    GetRole,
    GetState,
    GetHelp,
    GetHelpTopic,
    GetKeyboardShortcut,
    GetFocus,
    GetSelection,
    GetDefaultAction,
    Select,
    Location,
    Navigate,
    HitTest,
    DoDefaultAction,
    SetName,
    SetValue,
};

// A new object for every request, holding the standard one; null when either
// cannot be had.
IAccessible* CreateStatusAccessible(HWND window) {
    IAccessible* standard = nullptr;
    if (FAILED(g_createStdAccessibleObject(window, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&standard)))) {
        return nullptr;
    }
    auto object = static_cast<StatusAccessible*>(HeapAlloc(GetProcessHeap(), 0, sizeof(StatusAccessible)));
    if (!object) {
        IAccessible_Release(standard);
        return nullptr;
    }
    object->face.lpVtbl = &g_statusAccessibleTable;
    object->references  = 1;
    object->standard    = standard;
    return &object->face;
}

}  // namespace

LRESULT AnswerAccessibilityRequest(HWND window, WPARAM flags, LPARAM objectId) {
    // The id is a 32-bit value: on 64-bit Windows the upper half of lParam may
    // or may not carry its sign, so only the lower half is compared. A window
    // that has begun to close hands out nothing new.
    if (window == g_statusWindow && static_cast<DWORD>(objectId) == static_cast<DWORD>(OBJID_CLIENT) &&
        FindAccessibilityFunctions()) {
        JoinApartment();
        if (IAccessible* object = CreateStatusAccessible(window)) {
            // The client's reference comes from LresultFromObject; this one is ours.
            LRESULT reference = g_lresultFromObject(IID_IAccessible, flags, reinterpret_cast<IUnknown*>(object));
            IAccessible_Release(object);
            return reference;
        }
    }
    return DefWindowProcA(window, WM_GETOBJECT, flags, objectId);
}

void AnnounceStatusChanges(HWND window) {
    HeadlineText const headline = FormatHeadline();
    if (lstrcmpA(headline.text, g_announcedHeadline.text) != 0) {
        g_announcedHeadline = headline;
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
    }
    if (lstrcmpA(g_calibration.statusText, g_announcedStatus) != 0) {
        lstrcpynA(g_announcedStatus, g_calibration.statusText, sizeof g_announcedStatus);
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
    }
}

void LeaveAccessibilityApartment() {
    // Disconnects the clients still holding an object, which releases it.
    if (g_apartmentJoined) g_coUninitialize();
    g_apartmentJoined = false;
}
