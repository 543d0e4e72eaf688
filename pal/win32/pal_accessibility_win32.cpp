// pal_accessibility_win32.cpp: the accessibility tree's answers on
// Windows, through Active Accessibility (oleacc): the object at a point,
// its name, its role spelt as the Linux tree spells the roles the captions
// know, and its extents. Each asking thread joins COM's multithreaded
// apartment once, so no message loop is needed for objects of other
// programs. An application that does not answer its messages within the
// time given is not asked at all (its objects would answer through them).
#include "pal/pal_accessibility.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <oleacc.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

void joinApartment() {
  thread_local const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  (void)joined;
}

// Roles by the names the captions' wording table uses; any other role by
// the system's own text for it, in lower case.
struct RoleName {
  long role;
  const char* name;
};
constexpr RoleName kRoles[] = {
    {ROLE_SYSTEM_PUSHBUTTON, "push button"},  {ROLE_SYSTEM_MENUITEM, "menu item"},   {ROLE_SYSTEM_MENUPOPUP, "menu"},
    {ROLE_SYSTEM_MENUBAR, "menu bar"},        {ROLE_SYSTEM_TEXT, "text"},            {ROLE_SYSTEM_CHECKBUTTON, "check box"},
    {ROLE_SYSTEM_RADIOBUTTON, "radio button"}, {ROLE_SYSTEM_PAGETAB, "page tab"},     {ROLE_SYSTEM_LISTITEM, "list item"},
    {ROLE_SYSTEM_OUTLINEITEM, "tree item"},   {ROLE_SYSTEM_CELL, "table cell"},      {ROLE_SYSTEM_COMBOBOX, "combo box"},
    {ROLE_SYSTEM_SPINBUTTON, "spin button"},  {ROLE_SYSTEM_LINK, "link"},
};

void roleName(long role, long state, char out[64]) {
  if (role == ROLE_SYSTEM_TEXT && (state & STATE_SYSTEM_PROTECTED) != 0) {
    std::snprintf(out, 64, "password text");
    return;
  }
  for (const RoleName& r : kRoles)
    if (r.role == role) {
      std::snprintf(out, 64, "%s", r.name);
      return;
    }
  char text[64] = "";
  GetRoleTextA(static_cast<DWORD>(role), text, sizeof text);
  for (char* c = text; *c != '\0'; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  std::snprintf(out, 64, "%s", text);
}

// True when the top-level window at the point answers a message within ms
// (a hung one is not asked about its objects).
bool answers(HWND window, int ms) {
  HWND root = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
  if (root == nullptr) return true;
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(root, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, static_cast<UINT>(ms > 0 ? ms : 1),
                             &result) != 0;
}

// The program's own windows are never asked: their thread may be waiting
// for the thread that asks (a press on "Pause Capture" ends the capture).
bool ownWindow(HWND w) {
  DWORD process = 0;
  GetWindowThreadProcessId(w, &process);
  return process == GetCurrentProcessId();
}

bool isPopup(HWND w) {
  if (!IsWindowVisible(w)) return false;
  const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
  return (style & WS_POPUP) != 0 && (style & WS_CAPTION) != WS_CAPTION && GetWindow(w, GW_OWNER) != nullptr;
}

bool listedBefore(const RECT& r, const pal_AccessiblePopups* before) {
  for (int i = 0; before != nullptr && i < before->count; ++i)
    if (before->rects[i][0] == r.left && before->rects[i][1] == r.top && before->rects[i][2] == r.right - r.left &&
        before->rects[i][3] == r.bottom - r.top)
      return true;
  return false;
}

// The deepest visible window at the screen point below the pop-ups that
// were not showing before; null when there is none.
HWND windowBelowNewPopups(POINT p, const pal_AccessiblePopups* before) {
  struct Search {
    POINT p;
    const pal_AccessiblePopups* before;
    HWND found;
  } s{p, before, nullptr};
  EnumWindows(
      [](HWND w, LPARAM l) -> BOOL {
        auto* s = reinterpret_cast<Search*>(l);
        RECT r;
        if (!IsWindowVisible(w) || !GetWindowRect(w, &r) || !PtInRect(&r, s->p)) return TRUE;
        if (isPopup(w) && !listedBefore(r, s->before)) return TRUE;
        s->found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&s));
  for (HWND w = s.found; w != nullptr;) {
    POINT client = p;
    ScreenToClient(w, &client);
    HWND child = ChildWindowFromPointEx(w, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (child == nullptr || child == w) return w;
    w = child;
  }
  return nullptr;
}

bool newPopupAt(POINT p, const pal_AccessiblePopups* before) {
  pal_AccessiblePopups now{};
  pal_AccessiblePopupsNow(0, &now);
  for (int i = 0; i < now.count; ++i) {
    const int32_t* r = now.rects[i];
    RECT rect{r[0], r[1], r[0] + r[2], r[1] + r[3]};
    if (PtInRect(&rect, p) && !listedBefore(rect, before)) return true;
  }
  return false;
}

}  // namespace

int pal_AccessibleAtPoint(int32_t x, int32_t y, int timeoutMs, const pal_AccessiblePopups* before,
                          pal_AccessibleObject* out) {
  joinApartment();
  const POINT p{x, y};
  HWND under = WindowFromPoint(p);
  if (under == nullptr) return 0;
  if (ownWindow(under)) return 0;
  if (!answers(under, timeoutMs)) return -1;
  IAccessible* object = nullptr;
  VARIANT child;
  VariantInit(&child);
  if (before != nullptr && newPopupAt(p, before)) {
    // The press opened it: the object pressed lies below it.
    HWND below = windowBelowNewPopups(p, before);
    if (below == nullptr || ownWindow(below) || !answers(below, timeoutMs) ||
        FAILED(AccessibleObjectFromWindow(below, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object))) ||
        object == nullptr)
      return 0;
    VARIANT hit;
    VariantInit(&hit);
    if (SUCCEEDED(object->accHitTest(x, y, &hit))) {
      if (hit.vt == VT_DISPATCH && hit.pdispVal != nullptr) {
        IAccessible* inner = nullptr;
        if (SUCCEEDED(hit.pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&inner)))) {
          object->Release();
          object = inner;
        }
      } else if (hit.vt == VT_I4) {
        child = hit;
      }
    }
    if (hit.vt == VT_DISPATCH) VariantClear(&hit);
    if (child.vt != VT_I4) {
      child.vt = VT_I4;
      child.lVal = CHILDID_SELF;
    }
  } else if (FAILED(AccessibleObjectFromPoint(p, &object, &child)) || object == nullptr) {
    return 0;
  }
  std::memset(out, 0, sizeof *out);
  BSTR name = nullptr;
  if (SUCCEEDED(object->get_accName(child, &name)) && name != nullptr) {
    WideCharToMultiByte(CP_UTF8, 0, name, -1, out->name, sizeof out->name - 1, nullptr, nullptr);
    SysFreeString(name);
  }
  VARIANT role, state;
  VariantInit(&role);
  VariantInit(&state);
  object->get_accRole(child, &role);
  object->get_accState(child, &state);
  roleName(role.vt == VT_I4 ? role.lVal : 0, state.vt == VT_I4 ? state.lVal : 0, out->role);
  VariantClear(&role);
  VariantClear(&state);
  long l = 0, t = 0, w = 0, h = 0;
  if (SUCCEEDED(object->accLocation(&l, &t, &w, &h, child))) {
    out->extents[0] = l, out->extents[1] = t, out->extents[2] = w, out->extents[3] = h;
  }
  object->Release();
  VariantClear(&child);
  return 1;
}

// Menus, drop-down lists and tool tips: visible pop-up windows without a
// caption that another window owns.
int pal_AccessiblePopupsNow(int, pal_AccessiblePopups* out) {
  if (out == nullptr) return 0;
  out->count = 0;
  EnumWindows(
      [](HWND w, LPARAM l) -> BOOL {
        auto* out = reinterpret_cast<pal_AccessiblePopups*>(l);
        RECT r;
        if (!isPopup(w) || !GetWindowRect(w, &r)) return TRUE;
        int32_t* at = out->rects[out->count++];
        at[0] = r.left, at[1] = r.top, at[2] = r.right - r.left, at[3] = r.bottom - r.top;
        return out->count < PAL_POPUPS_CAP;
      },
      reinterpret_cast<LPARAM>(out));
  return 1;
}
