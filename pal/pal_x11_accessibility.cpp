// pal_x11_accessibility.cpp: the accessible object at a point, from the
// AT-SPI registry. The top-level windows of every registered application
// that hold the point are tried, pop-ups (menus, combo lists) and the
// active window first; from the window the object at the point is asked
// for again and again until no deeper one answers.
#include "pal/pal_accessibility.h"

#include <atspi/atspi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxDepth = 32;     // a deeper tree is taken to loop
constexpr int kMaxWindows = 256;  // top-levels looked at, all applications together

// Holds one reference and drops it when it goes.
class Ref {
 public:
  explicit Ref(AtspiAccessible* a = nullptr) : a_(a) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& o) noexcept : a_(o.a_) { o.a_ = nullptr; }
  Ref& operator=(Ref&& o) noexcept {
    std::swap(a_, o.a_);
    return *this;
  }
  ~Ref() {
    if (a_ != nullptr) g_object_unref(a_);
  }
  AtspiAccessible* get() const { return a_; }

 private:
  AtspiAccessible* a_;
};

// Set when a call failed for want of an answer in time.
bool gTimedOut = false;

bool failed(GError* error) {
  if (error == nullptr) return false;
  // The D-Bus errors of an application that did not answer in time.
  const char* m = error->message != nullptr ? error->message : "";
  if (std::strstr(m, "imeout") != nullptr || std::strstr(m, "NoReply") != nullptr || std::strstr(m, "reply") != nullptr)
    gTimedOut = true;
  g_error_free(error);
  return true;
}

bool extentsOf(AtspiAccessible* a, int32_t out[4]) {
  AtspiComponent* c = atspi_accessible_get_component_iface(a);
  if (c == nullptr) return false;
  GError* error = nullptr;
  AtspiRect* r = atspi_component_get_extents(c, ATSPI_COORD_TYPE_SCREEN, &error);
  g_object_unref(c);
  if (failed(error) || r == nullptr) return false;
  out[0] = r->x;
  out[1] = r->y;
  out[2] = r->width;
  out[3] = r->height;
  g_free(r);
  return out[2] > 0 && out[3] > 0;
}

bool holds(const int32_t r[4], int32_t x, int32_t y) {
  return x >= r[0] && y >= r[1] && int64_t{x} < int64_t{r[0]} + r[2] && int64_t{y} < int64_t{r[1]} + r[3];
}

bool hasState(AtspiAccessible* a, AtspiStateType state) {
  AtspiStateSet* set = atspi_accessible_get_state_set(a);
  if (set == nullptr) return false;
  const bool has = atspi_state_set_contains(set, state) != 0;
  g_object_unref(set);
  return has;
}

AtspiRole roleOf(AtspiAccessible* a) {
  GError* error = nullptr;
  const AtspiRole role = atspi_accessible_get_role(a, &error);
  return failed(error) ? ATSPI_ROLE_INVALID : role;
}

bool connect() {
  // Without a session bus the library would start one of its own: no bus, no tree.
  if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr && std::getenv("AT_SPI_BUS_ADDRESS") == nullptr) return false;
  static const bool connected = atspi_init() >= 0;  // 1 when already set up: still usable
  return connected;
}

bool isPopup(AtspiRole role) {
  return role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_MENU || role == ATSPI_ROLE_TOOL_TIP;
}

bool among(const pal_AccessiblePopups* popups, const int32_t r[4]) {
  for (int i = 0; i < popups->count && i < PAL_POPUPS_CAP; ++i)
    if (std::equal(r, r + 4, popups->rects[i])) return true;
  return false;
}

// The top-level windows holding the point (every point with all: true), in
// the order they are tried: pop-ups first, then the active window. Pop-ups
// not in before are left out.
std::vector<Ref> windowsAt(int32_t x, int32_t y, bool all, const pal_AccessiblePopups* before,
                           pal_AccessiblePopups* popups) {
  struct Candidate {
    Ref window;
    int rank;  // 0 pop-up, 1 active, 2 other
  };
  std::vector<Candidate> found;
  bool timedOut = false;
  Ref desktop(atspi_get_desktop(0));
  if (desktop.get() == nullptr) return {};
  GError* error = nullptr;
  const int apps = atspi_accessible_get_child_count(desktop.get(), &error);
  if (failed(error)) return {};
  int looked = 0;
  for (int i = 0; i < apps && looked < kMaxWindows; ++i) {
    Ref app(atspi_accessible_get_child_at_index(desktop.get(), i, &error));
    if (failed(error) || app.get() == nullptr) continue;
    gTimedOut = false;
    int windows = atspi_accessible_get_child_count(app.get(), &error);
    if (failed(error)) windows = 0;
    // An application that does not answer costs one timeout: its other windows are not asked.
    for (int j = 0; j < windows && looked < kMaxWindows && !gTimedOut; ++j, ++looked) {
      Ref window(atspi_accessible_get_child_at_index(app.get(), j, &error));
      if (failed(error) || window.get() == nullptr) continue;
      int32_t r[4];
      if (!extentsOf(window.get(), r) || (!all && !holds(r, x, y)) || !hasState(window.get(), ATSPI_STATE_SHOWING))
        continue;
      const bool popup = isPopup(roleOf(window.get()));
      if (popup && popups != nullptr && popups->count < PAL_POPUPS_CAP) std::copy(r, r + 4, popups->rects[popups->count++]);
      if (popup && before != nullptr && !among(before, r)) continue;  // opened by the press
      const int rank = popup ? 0 : hasState(window.get(), ATSPI_STATE_ACTIVE) ? 1 : 2;
      found.push_back({std::move(window), rank});
    }
    timedOut = timedOut || gTimedOut;
  }
  gTimedOut = timedOut;
  std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) { return a.rank < b.rank; });
  std::vector<Ref> out;
  for (Candidate& c : found) out.push_back(std::move(c.window));
  return out;
}

// The deepest object below top that holds the point; top itself when none
// does. A list that a combo box pops up is also its child: the descent
// stops before a menu that is a pop-up showing now but not before.
Ref deepestAt(Ref top, int32_t x, int32_t y, const pal_AccessiblePopups* before, const pal_AccessiblePopups* now) {
  Ref at = std::move(top);
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    AtspiComponent* c = atspi_accessible_get_component_iface(at.get());
    if (c == nullptr) break;
    GError* error = nullptr;
    Ref next(atspi_component_get_accessible_at_point(c, x, y, ATSPI_COORD_TYPE_SCREEN, &error));
    g_object_unref(c);
    if (failed(error) || next.get() == nullptr || next.get() == at.get()) break;
    // A hidden page of a tab list answers for the tab: a child that does not hold the point is not it.
    int32_t r[4];
    if (!extentsOf(next.get(), r) || !holds(r, x, y)) break;
    if (before != nullptr && isPopup(roleOf(next.get())) && among(now, r) && !among(before, r)) break;
    at = std::move(next);
  }
  return at;
}

void copyText(char* to, size_t cap, const char* text) { std::snprintf(to, cap, "%s", text != nullptr ? text : ""); }

}  // namespace

int pal_AccessiblePopupsNow(int timeoutMs, pal_AccessiblePopups* out) {
  out->count = 0;
  if (!connect()) return 0;
  atspi_set_timeout(std::max(1, timeoutMs), std::max(1, timeoutMs));
  windowsAt(0, 0, true, nullptr, out);
  return 1;
}

int pal_AccessibleAtPoint(int32_t x, int32_t y, int timeoutMs, const pal_AccessiblePopups* before,
                          pal_AccessibleObject* out) {
  if (!connect()) return 0;
  atspi_set_timeout(std::max(1, timeoutMs), std::max(1, timeoutMs));
  gTimedOut = false;
  pal_AccessiblePopups now{};
  std::vector<Ref> windows = windowsAt(x, y, false, before, &now);
  const bool timedOut = gTimedOut;
  for (Ref& window : windows) {
    gTimedOut = false;
    Ref object = deepestAt(std::move(window), x, y, before, &now);
    int32_t r[4];
    if (!extentsOf(object.get(), r)) continue;
    GError* error = nullptr;
    gchar* role = atspi_accessible_get_role_name(object.get(), &error);
    if (failed(error)) continue;
    gchar* name = atspi_accessible_get_name(object.get(), &error);
    if (failed(error)) name = nullptr;
    copyText(out->role, sizeof out->role, role);
    copyText(out->name, sizeof out->name, name);
    std::copy(r, r + 4, out->extents);
    g_free(role);
    g_free(name);
    return 1;
  }
  return timedOut || gTimedOut ? -1 : 0;
}
