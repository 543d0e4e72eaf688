// utf8_text_fuzz.cpp: text from outside in UTF-8 (file names, the
// clipboard, typed text, arguments) turned into the code page. What comes
// out must go back to the same UTF-8 text minus what was refused.
#include "pal/pal_codepage.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  int refused = -1;
  const std::string held = pal_Utf8ToCp1252(in, &refused);
  if (refused < 0 || held.size() > in.size()) std::abort();
  if (refused == 0 && pal_Cp1252ToUtf8(held) != in) std::abort();
  int again = -1;
  if (pal_Utf8ToCp1252(pal_Cp1252ToUtf8(held), &again) != held || again != 0) std::abort();
  return 0;
}
