// step_captions.cpp: the role-to-wording table and the name's cutting.
#include "studio/abstraction/step_captions.h"

#include "pal/pal_codepage.h"

#include <cctype>
#include <cstring>

namespace {

enum class Wording { Click, Choose, Field, Select, Tab };

struct RoleWording {
  const char* role;
  Wording wording;
};
// Role names as the accessibility tree spells them; any other role is clicked.
constexpr RoleWording kRoles[] = {
    {"menu", Wording::Choose},          {"menu item", Wording::Choose},     {"check menu item", Wording::Choose},
    {"radio menu item", Wording::Choose}, {"tearoff menu item", Wording::Choose},
    {"text", Wording::Field},           {"entry", Wording::Field},          {"editbar", Wording::Field},
    {"spin button", Wording::Field},    {"terminal", Wording::Field},       {"paragraph", Wording::Field},
    {"check box", Wording::Select},     {"radio button", Wording::Select},  {"toggle button", Wording::Click},
    {"page tab", Wording::Tab},
};

Wording wordingOf(const std::string& role) {
  for (const RoleWording& r : kRoles)
    if (role == r.role) return r.wording;
  return Wording::Click;
}

// The name on one line, trimmed, at most CAPTION_NAME_CAP characters.
std::string fitted(const std::string& utf8) {
  std::string text = pal_Utf8ToCp1252(utf8);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  std::string oneSpace;
  for (char c : text)
    if (c != ' ' || oneSpace.empty() || oneSpace.back() != ' ') oneSpace += c;
  if (oneSpace.size() > CAPTION_NAME_CAP) {
    oneSpace.resize(CAPTION_NAME_CAP - 3);
    while (!oneSpace.empty() && oneSpace.back() == ' ') oneSpace.pop_back();
    oneSpace += "...";
  }
  return oneSpace;
}

}  // namespace

bool isPasswordRole(const std::string& role) { return role == "password text"; }

std::string captionOf(const CaptionPress& press) {
  if (isPasswordRole(press.role)) return "Type the password.";
  const std::string name = fitted(press.name);
  if (name.empty()) return std::string();
  const std::string quoted = "\"" + name + "\"";
  if (press.hover) return "Point at " + quoted + ".";
  switch (wordingOf(press.role)) {
    case Wording::Choose: return "Choose " + quoted + ".";
    case Wording::Field: return (press.typingFollows ? "Type in the " : "Click in the ") + quoted + " field.";
    case Wording::Select: return "Select " + quoted + ".";
    case Wording::Tab: return "Open the " + quoted + " tab.";
    case Wording::Click: break;
  }
  return "Click " + quoted + ".";
}
