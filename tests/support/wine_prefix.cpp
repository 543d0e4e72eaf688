// wine_prefix.cpp: the tests' own wine prefix.
#include "tests/support/wine_prefix.h"

#include <cstdlib>

WinePrefix::WinePrefix() {
  path_ = dir_.path() + "/prefix";
  env_ = {"WINEPREFIX=" + path_, "WINEDLLOVERRIDES=mscoree,mshtml=", "WINEDEBUG=-all", "WINEARCH=win64"};
}

WinePrefix::~WinePrefix() {
  if (made_) runCommand("wineserver -k 2>&1");
}

bool WinePrefix::make() {
  if (made_) return true;
  for (const std::string& e : env_) ::putenv(const_cast<char*>(e.c_str()));
  const std::string fonts = path_ + "/drive_c/windows/Fonts/";
  made_ = runCommand("wine wineboot -i 2>&1").status == 0 &&
          runCommand("wine reg add 'HKCU\\Software\\Wine\\X11 Driver' /v Managed /d N /f 2>&1").status == 0 &&
          runCommand("wine reg add 'HKCU\\Software\\Wine\\Fonts\\Replacements' /v 'Trebuchet MS' /d 'Open Sans' /f "
                     "2>&1").status == 0 &&
          runCommand("cp /usr/share/fonts/truetype/open-sans/OpenSans-Regular.ttf '" + fonts + "'").status == 0;
  return made_;
}
